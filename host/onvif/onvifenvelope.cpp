// ONVIF SOAP requests: the envelope, the WS-Security token and the
// WS-Addressing headers every request carries.
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <stdio.h>
#include <stdlib.h>

#include "host/onvif/onvifsoap.h"

namespace OnvifSoap {

std::string XmlEscape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::string PasswordDigest(const std::string& nonce, const std::string& created, const std::string& password) {
    std::string input = nonce + created + password;
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int mdLen = 0;
    if (EVP_Digest(input.data(), input.size(), md, &mdLen, EVP_sha1(), nullptr) != 1) return std::string();
    return Base64(std::string(reinterpret_cast<char*>(md), mdLen));
}

std::string UsernameTokenHeader(const std::string& user, const std::string& password, const std::string& nonce,
                                const std::string& created) {
    std::string h;
    h += "<wsse:Security s:mustUnderstand=\"1\"><wsse:UsernameToken><wsse:Username>";
    h += XmlEscape(user);
    h += "</wsse:Username><wsse:Password Type=\"http://docs.oasis-open.org/wss/2004/01/"
         "oasis-200401-wss-username-token-profile-1.0#PasswordDigest\">";
    h += PasswordDigest(nonce, created, password);
    h += "</wsse:Password><wsse:Nonce EncodingType=\"http://docs.oasis-open.org/wss/2004/01/"
         "oasis-200401-wss-soap-message-security-1.0#Base64Binary\">";
    h += Base64(nonce);
    h += "</wsse:Nonce><wsu:Created>";
    h += created;
    h += "</wsu:Created></wsse:UsernameToken></wsse:Security>";
    return h;
}

std::string Envelope(const std::string& header, const std::string& body, const std::string& extraNs) {
    std::string e;
    e.reserve(1024 + header.size() + body.size());
    e += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    e += "<s:Envelope xmlns:s=\"";
    e += kNsSoap12;
    e += "\" xmlns:wsse=\"http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd\""
         " xmlns:wsu=\"http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd\"";
    e += " xmlns:wsa=\"";
    e += kNsWsa;
    e += "\" xmlns:tt=\"";
    e += kNsSchema;
    e += "\" xmlns:tev=\"";
    e += kNsEvents;
    e += "\" xmlns:wsnt=\"";
    e += kNsWsnt;
    e += "\" xmlns:tds=\"";
    e += kNsDevice;
    e += "\" xmlns:trt=\"";
    e += kNsMedia;
    e += "\" xmlns:tmd=\"";
    e += kNsDeviceIo;
    e += "\"";
    if (!extraNs.empty()) {
        e += " ";
        e += extraNs;
    }
    e += "><s:Header>";
    e += header;
    e += "</s:Header><s:Body>";
    e += body;
    e += "</s:Body></s:Envelope>\n";
    return e;
}

std::string NewMessageId() {
    unsigned char b[16];
    if (RAND_bytes(b, sizeof(b)) != 1) {
        for (size_t i = 0; i < sizeof(b); ++i) b[i] = (unsigned char)rand();
    }
    b[6] = (unsigned char)((b[6] & 0x0f) | 0x40);  // version 4: random
    b[8] = (unsigned char)((b[8] & 0x3f) | 0x80);  // RFC 4122 variant
    char out[48];
    snprintf(out, sizeof(out), "urn:uuid:%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0],
             b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return out;
}

std::string AddressingHeader(const std::string& action, const std::string& to, const std::string& messageId) {
    return "<wsa:MessageID>" + XmlEscape(messageId) +
           "</wsa:MessageID><wsa:ReplyTo><wsa:Address>http://www.w3.org/2005/08/addressing/anonymous</wsa:Address>"
           "</wsa:ReplyTo><wsa:To>" +
           XmlEscape(to) + "</wsa:To><wsa:Action>" + XmlEscape(action) + "</wsa:Action>";
}

}  // namespace OnvifSoap
