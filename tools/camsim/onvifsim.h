// Parts of the simulated ONVIF device shared by its files: the wire helpers
// (sim_onvifwire.cpp) and the topic families (sim_onviftopics.cpp). The
// services themselves are in sim_onvif.cpp.
#ifndef TOOLS_CAMSIM_ONVIFSIM_H
#define TOOLS_CAMSIM_ONVIFSIM_H

#include <time.h>

#include <string>
#include <vector>

#include "tools/camsim/simtypes.h"

namespace camsim {
namespace onvifsim {

// SHA-1 and Base64 written out here rather than taken from the library the
// clients use, so that the simulator and the clients cannot share a bug.
std::string Sha1(const std::string& msg);
std::string B64Encode(const std::string& in);
bool B64Decode(const std::string& in, std::string& out);

// Text of the first element whose local name is `local`; "" when absent.
std::string TagText(const std::string& xml, const std::string& local, size_t* endPos = nullptr);
// Local name of the first element inside soap Body.
std::string Operation(const std::string& xml);
std::string Esc(const std::string& s);
std::string Iso(time_t t);
bool ParseIso(const std::string& s, time_t& t);
// "PT60S", "PT2M" -> seconds; -1 when not a duration we read.
int Duration(const std::string& d);

extern const char* const kEnvOpen;  // declares the prefixes the answers use
extern const char* const kEnvClose;
Response Soap(const std::string& body, int status = 200);
Response SoapFault(int status, const char* code, const char* subcode, const std::string& reason);

// Topic families: which topics a device lists in GetEventProperties and
// sends its alarm state on ("cellmotion", the default, "motionalarm",
// "regionmotion", "vendor").
bool IsTopicFamily(const std::string& name);
// "cellmotion|motionalarm|..." for usage texts.
std::string TopicFamilyNames();
// The GetEventPropertiesResponse element of a family's device.
std::string EventProperties(const std::string& family, int inputs);
// The NotificationMessage elements that bring a subscriber from prev to cur;
// every property ("Initialized") when all is set.
std::vector<std::string> Notifications(const std::string& family, const AlarmState& prev, const AlarmState& cur,
                                       bool all);

}  // namespace onvifsim
}  // namespace camsim

#endif  // TOOLS_CAMSIM_ONVIFSIM_H
