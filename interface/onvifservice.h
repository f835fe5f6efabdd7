// The recorder's ONVIF service clients and event configuration, as the ONVIF
// detectors call them. Implemented by the recorder side (libcamhost): SOAP 1.2
// over HTTP with WS-Security UsernameToken (PasswordDigest) and, when the
// camera asks for it, HTTP authentication as well.
//
// Every client is owned by one thread; none is thread-safe. Results are 0 on
// success and negative on failure (below); nothing throws. Calls are bounded
// by the client's time-out (10 s by default; a pull adds its own wait).
// Every request carries WS-Addressing headers: a fresh wsa:MessageID, the
// wsa:Action, wsa:To (the address called) and an anonymous wsa:ReplyTo.
#ifndef INTERFACE_ONVIFSERVICE_H
#define INTERFACE_ONVIFSERVICE_H

#include <list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "interface/onvifrecords.h"

class CameraAPI;
namespace BrellinOwned {
class CameraHealth;
class Clock;
class HealthSource;
}  // namespace BrellinOwned

// One SOAP exchange, swappable so that tests can script the camera.
class OnvifTransport {
public:
    virtual ~OnvifTransport() {}
    // POSTs body to url with the SOAP 1.2 content type and action. httpStatus
    // is the HTTP status (0 when none came); response holds the body, capped
    // at the transport's limit. 0 when a response arrived (any status);
    // kOnvifPostUnusableAddr when the transport cannot use the address (not
    // a valid URL, or a scheme it does not speak); kOnvifPostCertRefused when
    // the camera's certificate was not accepted; -1 otherwise.
    virtual int Post(const std::string& url, const std::string& action, const std::string& body,
                     const std::string& user, const std::string& password, int timeoutSec, int& httpStatus,
                     std::string& response) = 0;
};

const int kOnvifPostUnusableAddr = -2;
const int kOnvifPostCertRefused = -3;

// Failures of the clients' calls, by what they tell about the camera:
const int kOnvifNoAnswer = -1;   // nothing came back: refused, timed out, reset before an answer
const int kOnvifFault = -3;      // the camera answered with a SOAP fault or an HTTP error status
const int kOnvifBadAnswer = -4;  // an answer began but could not be read whole (cut off, not
                                 // SOAP, not the answer asked for): what it carried is lost

namespace BrellinOwned {
class CameraServices;
}

// Transport over an HTTP client of the camera's services (borrowed; they
// outlive the transport): https:// addresses under the camera's TLS policy,
// every exchange bounded on the services' clock. Without services, the
// recorder's default ones.
std::shared_ptr<OnvifTransport> NewHttpOnvifTransport();
std::shared_ptr<OnvifTransport> NewHttpOnvifTransport(BrellinOwned::CameraServices& services);

// Common part of every service client: address, versions, login, clock offset.
class OnvifServiceBase {
public:
    OnvifServiceBase();
    virtual ~OnvifServiceBase();
    OnvifServiceBase(const OnvifServiceBase&) = delete;
    OnvifServiceBase& operator=(const OnvifServiceBase&) = delete;

    // Points the client at one service of the camera. The camera-API object is
    // borrowed (may be null; its services, which outlive the client, give the
    // HTTP transport of a client without one, the camera's health and clock,
    // see SetHealth); the version texts are kept. 0 when
    // the address is usable, -1 when it is empty or not an http(s) URL.
    virtual int UpdateServiceParam(CameraAPI* api, const std::string& addr, const std::string& ver1,
                                   const std::string& ver2);
    // True when the camera offers the service (an address was given).
    virtual bool IsSupported();
    // Asks the device service (SetLogin's deviceAddr, else the service) for
    // its time without any login, waiting at most timeoutSec: 0 when the
    // device answered at all (its time, when readable, becomes the clock
    // offset), else kOnvifNoAnswer. Spends no login attempt.
    virtual int CheckDevice(int timeoutSec);

    // Login used for WS-Security and HTTP authentication. deviceAddr is the
    // device service, asked once for its clock (GetSystemDateAndTime) so that
    // the token's creation time is the camera's; empty: the service itself.
    void SetLogin(const std::string& user, const std::string& password, const std::string& deviceAddr);
    void SetTransport(std::shared_ptr<OnvifTransport> t);
    // The camera's health (borrowed; null: none) that every exchange with a
    // login reports to and whose login ration it takes, measured on clock.
    // A NotAuthorized fault counts as a refused login; CheckDevice never
    // reports and never spends a login.
    void SetHealth(BrellinOwned::CameraHealth* health, BrellinOwned::Clock& clock);
    void SetTimeoutSec(int sec) { m_TimeoutSec = sec; }
    const std::string& GetAddress() const { return m_Addr; }

protected:
    // One SOAP call to url (the service address when empty). body is the
    // content of soap:Body. On success response holds the whole envelope
    // text. Failures are kOnvifNoAnswer, kOnvifFault (a SOAP fault or a
    // non-2xx status) or kOnvifBadAnswer; a NotAuthorized fault refreshes the
    // clock offset and retries once. blParsedAfter: the caller reads the
    // answer and tells the camera's health whether it could (Usable).
    int Call(const std::string& url, const std::string& action, const std::string& body, std::string& response,
             bool blParsedAfter = false);
    // After Call(..., true) succeeded: the answer could be read (ok) or not
    // (the camera's health says error). Returns 0 or kOnvifBadAnswer.
    int Usable(bool blReadable);
    bool SyncClock();
    // GetSystemDateAndTime to url without a login; the transport's result.
    int PostClockRequest(const std::string& url, int timeoutSec, int& status, std::string& resp);
    // Logs a failure unless it is the same as the previous one (a camera that
    // stays down is logged once); a success re-arms it.
    void LogFailure(const std::string& text);

    std::string m_Addr;
    std::string m_Ver1;
    std::string m_Ver2;
    std::string m_User;
    std::string m_Password;
    std::string m_DeviceAddr;
    int m_TimeoutSec;
    long m_ClockOffset;  // camera clock minus local clock, seconds
    bool m_blClockKnown;
    std::shared_ptr<OnvifTransport> m_Transport;
    std::string m_LastFailure;
    std::unique_ptr<BrellinOwned::HealthSource> m_pHealth;
    std::string m_LastTarget;  // of the last Call
    BrellinOwned::Clock* m_pClock;
};

// Event service: PullPoint subscriptions.
class OnvifEventService : public OnvifServiceBase {
public:
    // filter: a topic expression (ConcreteSet dialect) or empty for all
    // events; termTime: InitialTerminationTime ("PT60S") or empty; ns: prefix
    // declarations the filter may use. Fills pp (address, current and
    // termination time). 0 on success.
    virtual int CreatePullPointSubscription(const std::string& filter, const std::string& termTime,
                                            const OVF_NS_LIST& ns, OVF_EVT_PULL_PT& pp);
    // Waits up to timeout ("PT60S") for at most limit ("8") messages. 0 and
    // msg filled on success (the list may be empty); the exchange's time-out
    // is the client's plus the wait. kOnvifBadAnswer when an answer came that
    // could not be read (its notifications are lost), kOnvifFault when the
    // camera refused, kOnvifNoAnswer when nothing came.
    virtual int PullMessages(const OVF_EVT_PULL_PT& pp, const std::string& timeout, const std::string& limit,
                             OVF_EVT_PULL_MSG& msg);
    virtual int Unsubscribe(const OVF_EVT_PULL_PT& pp);
    // Asks the camera to send the current state of every property again (as
    // "Initialized" messages on the next pulls). 0 on success; kOnvifFault
    // when it does not do that.
    virtual int SetSynchronizationPoint(const OVF_EVT_PULL_PT& pp);
    // Extends the subscription by termTime ("PT300S"); 0 and pp's times
    // updated when the camera agreed.
    virtual int Renew(OVF_EVT_PULL_PT& pp, const std::string& termTime);
};

// Media service (ver10).
class OnvifMediaService : public OnvifServiceBase {
public:
    // 0 and the configurations in the camera's order.
    virtual int GetVideoSourceConfigurations(std::list<OVF_MED_VDO_SRC_CONF>& confs);
};

// Device IO service.
class OnvifDeviceIoService : public OnvifServiceBase {
public:
    // 0 and the digital input tokens in the camera's order.
    virtual int GetDigitalInputs(std::vector<std::string>& tokens);
};

// The topic without namespace prefixes ("tns1:A/tnsx:B" -> "A/B"), surrounding
// white space removed. Used for equality only.
std::string GetNoNsTopic(const std::string& topic);

// The recorder's event configuration: per detection kind name
// ("MotionDetection", "DigitalInput", "TamperingDetection", "AudioDetection")
// and topic key, the patterns and rule of a trigger. Read-only after
// construction; safe to share between threads.
class OnvifEvtConf {
public:
    // Loads the shipped configuration file (CAMDET_ONVIF_EVTCONF in the
    // environment overrides its path); when it is missing or bad, one log
    // line and the built-in defaults.
    OnvifEvtConf();
    // Loads this file; same fallback.
    explicit OnvifEvtConf(const std::string& path);
    ~OnvifEvtConf();

    // Replaces the rules with those of the JSON text; false (rules kept) when
    // the text is not a valid configuration.
    bool LoadText(const std::string& text, std::string& error);

    // Source and data patterns; an empty record for an unknown key.
    OVF_EVT_TOPIC GetTrigValue(const std::string& kindName, const std::string& key) const;
    // 1 standard, 2 hold for a few seconds, 3 momentary; 0 for an unknown key.
    int GetTrigType(const std::string& kindName, const std::string& key) const;
    bool IsSrcNameIgnored(const std::string& kindName, const std::string& key) const;
    bool IsDataNameIgnored(const std::string& kindName, const std::string& key) const;
    // The key a camera uses when the recorder has none configured; empty if
    // the configuration names none.
    std::string GetDefaultKey(const std::string& kindName) const;
    // Every key of a kind, in file order.
    std::vector<std::string> GetKeys(const std::string& kindName) const;
    // True for a key made from a device's topic ("TOPIC;ITEM", not one of the
    // configured keys): its items are found by name, not by position.
    bool IsMatchedByName(const std::string& kindName, const std::string& key) const;

    // One row of a kind's ordered table of the topics cameras send.
    struct TopicRow {
        std::string topic;               // without namespace prefixes; "*" matches within one level
        std::vector<std::string> items;  // data items that carry the state, preferred first
        OVF_ITEM_LIST source;            // source patterns by item name ("*": any other item)
        std::string active;              // data values that mean "on" ("true|1"), case ignored
        int trigType = 1;
    };
    // The kind's table, in the order of preference; empty for an unknown kind.
    const std::vector<TopicRow>& GetTopicTable(const std::string& kindName) const;

    struct Rule {
        OVF_EVT_TOPIC trigValue;
        int trigType = 0;
        bool blSrcNameIgnored = false;
        bool blDataNameIgnored = false;
        bool blByName = false;
    };

private:
    void LoadFile(const std::string& path);
    // The configured rule of the key, else one made from the topic table for
    // a key "TOPIC;ITEM". False for neither.
    bool Find(const std::string& kindName, const std::string& key, Rule& rule) const;

    std::map<std::string, std::map<std::string, Rule> > m_Rules;
    std::map<std::string, std::vector<std::string> > m_KeyOrder;
    std::map<std::string, std::string> m_Defaults;
    std::map<std::string, std::vector<TopicRow> > m_Topics;
};

// True when a topic (namespace prefixes removed) matches a table row's topic:
// the same levels, "*" inside a level standing for any text
// ("VideoSource/GlobalSceneChange/*", "VideoAnalytics/*Motion*").
bool OnvifTopicMatches(const std::string& pattern, const std::string& noNsTopic);

#endif  // INTERFACE_ONVIFSERVICE_H
