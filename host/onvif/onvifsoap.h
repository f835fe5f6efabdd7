// SOAP envelopes of the ONVIF clients: building requests and reading answers.
// The readers are pure functions of a text buffer (no I/O), so tests and the
// fuzzer feed them captured camera answers directly.
//
// Namespaces are resolved through the xmlns declarations in scope, so any
// prefix a camera chooses works; an element whose prefix is not declared at
// all is accepted by its local name (some cameras forget declarations).
// Input above kOnvifSoapMaxLen bytes, malformed XML, nesting deeper than the
// parser's limit and envelopes of the wrong shape give a negative result and
// leave no partial output behind.
#ifndef HOST_ONVIFSOAP_H
#define HOST_ONVIFSOAP_H

#include <stddef.h>
#include <time.h>

#include <list>
#include <string>
#include <vector>

#include "interface/onvifrecords.h"

enum {
    OVF_SOAP_OK = 0,
    OVF_SOAP_ERR_XML = -1,    // not well-formed, too deep, empty
    OVF_SOAP_ERR_FAULT = -2,  // a SOAP fault
    OVF_SOAP_ERR_SHAPE = -3,  // well-formed but not the expected answer
    OVF_SOAP_ERR_SIZE = -4,   // larger than kOnvifSoapMaxLen
};

const size_t kOnvifSoapMaxLen = 1024 * 1024;
// Upper bounds on what one answer can add, whatever the camera sends.
const size_t kOnvifMaxNotifs = 256;
const size_t kOnvifMaxItems = 64;
const size_t kOnvifMaxListLen = 256;
const size_t kOnvifMaxTopics = 1024;

// One simple item a device declares for a topic.
struct OVF_ITEM_DESC {
    std::string name;
    std::string type;  // as sent ("xs:boolean", "tt:ReferenceToken"); may be empty
};

// One topic a device lists in GetEventProperties.
struct OVF_TOPIC_DESC {
    std::string topic;  // qualified names joined with "/": "tns1:RuleEngine/CellMotionDetector/Motion"
    std::vector<OVF_ITEM_DESC> source;
    std::vector<OVF_ITEM_DESC> data;
};

namespace OnvifSoap {

extern const char* const kNsSoap12;
extern const char* const kNsSoap11;
extern const char* const kNsSchema;   // tt
extern const char* const kNsEvents;   // tev
extern const char* const kNsWsnt;     // wsnt
extern const char* const kNsWsa;      // wsa
extern const char* const kNsDevice;   // tds
extern const char* const kNsMedia;    // trt
extern const char* const kNsDeviceIo; // tmd
extern const char* const kNsImaging;
extern const char* const kNsPtz;
extern const char* const kNsWstop;    // wstop

struct Fault {
    std::string code;     // e.g. "env:Sender" as sent
    std::string subcode;  // e.g. "ter:NotAuthorized" as sent
    std::string reason;
    // True for an authentication fault (subcode or code NotAuthorized,
    // FailedAuthentication or InvalidSecurity).
    bool IsAuth() const;
};

// Checks the envelope; OVF_SOAP_OK when it has a body without a fault,
// OVF_SOAP_ERR_FAULT (fault filled) for a fault.
int CheckEnvelope(const char* buf, size_t len, Fault& fault);

int ParsePullMessages(const char* buf, size_t len, OVF_EVT_PULL_MSG& msg);
int ParseCreatePullPoint(const char* buf, size_t len, OVF_EVT_PULL_PT& pp);
// A RenewResponse: pp's current and termination time (its address stays).
int ParseRenew(const char* buf, size_t len, OVF_EVT_PULL_PT& pp);
// Fields: [0] token, [1] name, [2] source token, [3] use count, [4] "x,y",
// [5] width, [6] height.
int ParseVideoSourceConfigurations(const char* buf, size_t len, std::list<OVF_MED_VDO_SRC_CONF>& confs);
int ParseDigitalInputs(const char* buf, size_t len, std::vector<std::string>& tokens);
// Service entries: 0 device, 1 media, 2 imaging, 3 events, 4 PTZ, 5 device IO.
int ParseServices(const char* buf, size_t len, OnvifServiceEnt& ent, OnvifVersion& ver);
int ParseCapabilities(const char* buf, size_t len, OnvifServiceEnt& ent, OnvifVersion& ver);
int ParseSystemDateAndTime(const char* buf, size_t len, time_t& utc);

// GetEventProperties: every topic the device lists (an element of the topic
// set with a MessageDescription, or marked as a topic), with its path of
// qualified names ("tns1:VideoSource/MotionAlarm") and its declared items.
int ParseEventProperties(const char* buf, size_t len, std::vector<OVF_TOPIC_DESC>& topics);

// ---------------------------------------------------------------- requests

// "a<b" -> "a&lt;b"; for texts and attribute values.
std::string XmlEscape(const std::string& s);

// Base64(SHA-1(nonce + created + password)).
std::string PasswordDigest(const std::string& nonce, const std::string& created, const std::string& password);
std::string Base64(const std::string& raw);
// Decodes standard Base64; false on bad input.
bool Base64Decode(const std::string& text, std::string& raw);
// "2024-05-01T10:00:00Z"
std::string IsoUtc(time_t t);
// Parses "YYYY-MM-DDThh:mm:ss[.fff]Z"; false when it is not that.
bool ParseIsoUtc(const std::string& text, time_t& t);
// The wsse:Security header element for one request.
std::string UsernameTokenHeader(const std::string& user, const std::string& password, const std::string& nonce,
                                const std::string& created);
// A fresh "urn:uuid:..." (random, version 4) for wsa:MessageID.
std::string NewMessageId();
// wsa:MessageID, an anonymous wsa:ReplyTo, wsa:To and wsa:Action, for the
// header of a request-response message.
std::string AddressingHeader(const std::string& action, const std::string& to, const std::string& messageId);
// A whole SOAP 1.2 envelope with the usual prefixes declared (s, wsse, wsu,
// wsa, tt, tev, wsnt, tds, trt, tmd) and extraNs ("xmlns:p=\"...\"" text).
std::string Envelope(const std::string& header, const std::string& body, const std::string& extraNs = std::string());

}  // namespace OnvifSoap

#endif  // HOST_ONVIFSOAP_H
