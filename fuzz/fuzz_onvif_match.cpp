// The ONVIF matching and trigger rules over an event rule and a sequence of
// pulls that the input spells out: levels are 0 or 100, a cache grows by at
// most one entry per accepted notification, a held motion runs out within the
// hold, the momentary rule keeps nothing, DI ports stay in range.
#include "fuzz/fuzzcheck.h"
#include "camdet/rules/onvifrules.h"

namespace {

struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t Byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    // Short texts from a small alphabet, so that equal texts are common.
    std::string Text() {
        static const char* const kWords[] = {"",      "a",       "b",          "@ANY@", "@DI_PORT@", "@MD_WIN@",
                                             "true",  "false",   "1",          "a|b",   "x|@ANY@",   "tns1:T/U",
                                             "T/U",   "ns:T/ns:U", "@VENDOR_SPECIFIC@", "DI_0", "DI_1", "|",
                                             "*",     "TRUE"};
        uint8_t b = Byte();
        if (b < 200) return kWords[b % (sizeof(kWords) / sizeof(kWords[0]))];
        std::string s;
        size_t len = b % 8;
        for (size_t i = 0; i < len; ++i) s += (char)Byte();
        return s;
    }
    OVF_ITEM_LIST Items() {
        OVF_ITEM_LIST l;
        size_t k = Byte() % 4;
        for (size_t i = 0; i < k; ++i) l.push_back(std::make_pair(Text(), Text()));
        return l;
    }
};

const char* const kOps[] = {"Initialized", "Changed", "Deleted", "@UNKNOWN@", "Other"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader r{data, size};
    OnvifMatch::Info info;
    info.matchTopic = r.Text();
    info.trigValue.source = r.Items();
    info.trigValue.data = r.Items();
    info.trigType = r.Byte() % 5;
    uint8_t flags = r.Byte();
    info.blSrcNameIgnored = flags & 1;
    info.blDataNameIgnored = flags & 2;
    info.blByName = flags & 0x80;
    int diCnt = (flags >> 2) % 5;
    std::map<std::string, int> tokens = OnvifMatch::TokenPortMap({"DI_0", "DI_1", "a", "DI_0"});

    OVF_EVT_CACHE standard, hold, momentary, di;
    std::vector<time_t> stamps;
    time_t now = 1000;
    while (r.n > 0) {
        OVF_NOTIF_LIST notifs;
        size_t k = r.Byte() % 4;
        size_t accepted = 0;
        for (size_t i = 0; i < k; ++i) {
            OVF_EVT_NOTIF n;
            n.topic = r.Text();
            n.propOper = kOps[r.Byte() % 5];
            n.source = r.Items();
            n.data = r.Items();
            accepted += OnvifMatch::IsNotifiedMsgFound(info, n) ? 1 : 0;
            notifs.push_back(n);
        }
        now += r.Byte() % 8;
        int level = -1;
        size_t before = standard.size();
        OnvifMatch::IsStandardTrig(info, standard, notifs, level);
        if ((level != 0 && level != 100) || standard.size() > before + accepted) __builtin_trap();
        before = hold.size();
        OnvifMatch::IsPanasonicTrig(info, hold, stamps, notifs, now, level);
        if ((level != 0 && level != 100) || hold.size() > before + accepted || stamps.size() != hold.size())
            __builtin_trap();
        // A hold still reported runs out after now, and no later than 5 s on.
        const time_t due = OnvifMatch::HoldExpiry(info, hold, stamps);
        if (level == 100 && (due <= now || due > now + 5)) __builtin_trap();
        OnvifMatch::IsMomentaryTrig(info, momentary, notifs, level);
        if (!momentary.empty()) __builtin_trap();
        std::map<int, bool> ports = OnvifMatch::DITrig(info, di, r.Byte() & 1 ? tokens : std::map<std::string, int>(),
                                                       diCnt, notifs);
        for (const auto& pt : ports)
            if (pt.first < 0 || (pt.first >= diCnt && pt.first > 3)) __builtin_trap();
    }
    return 0;
}
