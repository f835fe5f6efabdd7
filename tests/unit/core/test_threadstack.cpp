// The detector threads' stack against the deepest paths a camera's answer
// can drive on it: a stack painted before the run shows how much of it the
// parsers reached. Sized with a margin of two, so that a 32-bit recorder
// fits thousands of detectors; a parser that starts to recurse on input
// fails here (and overflows under the sanitizers) before it reaches one.
#include <gtest/gtest.h>
#include <netdb.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>

#include <functional>

#include "camdet/core/eventdetector.h"
#include "host/onvif/onvifsoap.h"
#include "interface/onvifservice.h"
#include "tests/fixtures/testutil.h"

// ThreadSanitizer keeps its per-thread state in static TLS, which glibc
// places in a stack the caller provides: no thread fits in 256 KiB there.
#if !defined(__SANITIZE_THREAD__)

namespace {

const unsigned char kPaint = 0xa5;

std::string Answer(const std::string& name) { return camtest::TestData("onvif/" + name); }

// `levels` elements opened and closed at `at` (after that text) in `doc`.
std::string Nest(std::string doc, const std::string& at, int levels) {
    std::string open, close;
    for (int i = 0; i < levels; ++i) {
        open += "<tns1:L" + std::to_string(i) + " wstop:topic=\"true\">";
        close = "</tns1:L" + std::to_string(i) + ">" + close;
    }
    const size_t pos = doc.find(at);
    if (pos != std::string::npos) doc.insert(pos + at.size(), open + close);
    return doc;
}

struct Painted {
    std::function<void()> fn;
    static void* Run(void* self) {
        static_cast<Painted*>(self)->fn();
        return nullptr;
    }
};

// Bytes of a `size` stack that `fn` touched. The scan reads bytes the
// sanitizer never saw written.
__attribute__((no_sanitize("address"))) size_t Untouched(const unsigned char* low, size_t size) {
    size_t n = 0;
    while (n < size && low[n] == kPaint) ++n;
    return n;
}

size_t StackUsed(size_t size, std::function<void()> fn) {
    void* mem = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) return size;
    memset(mem, kPaint, size);
    Painted p{std::move(fn)};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstack(&attr, mem, size);
    pthread_t t;
    size_t used = size;
    if (pthread_create(&t, &attr, &Painted::Run, &p) == 0) {
        pthread_join(t, nullptr);
        used = size - Untouched(static_cast<unsigned char*>(mem), size);
    }
    pthread_attr_destroy(&attr);
    munmap(mem, size);
    return used;
}

}  // namespace

TEST(DetectorStack, DeepestCameraAnswersUseAtMostHalfOfIt) {
    const std::string pull = Answer("pull_motion_changed.xml");
    const std::string props = Answer("event_properties_cellmotion.xml");
    ASSERT_FALSE(pull.empty());
    ASSERT_FALSE(props.empty());
    std::string endless = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>";
    for (int i = 0; i < 20000; ++i) endless += "<a>";
    // Topic levels as deep as the XML parser allows, each a topic of its own.
    const std::string deepTopics = Nest(props, "<wstop:TopicSet>", 90);
    const std::string deepData = Nest(pull, "<tt:Data>", 90);
    size_t topics = 0, notifs = 0;
    const size_t used = StackUsed(DetectorBase::kStackBytes, [&] {
        std::vector<OVF_TOPIC_DESC> t;
        OnvifSoap::ParseEventProperties(deepTopics.data(), deepTopics.size(), t);
        topics = t.size();
        OVF_EVT_PULL_MSG msg;
        OnvifSoap::ParsePullMessages(deepData.data(), deepData.size(), msg);
        notifs = msg.notifs.size();
        OnvifSoap::ParsePullMessages(endless.data(), endless.size(), msg);
        OnvifSoap::Fault f;
        OnvifSoap::CheckEnvelope(endless.data(), endless.size(), f);
        // The resolver runs on the detector's thread too (a camera by name).
        addrinfo* ai = nullptr;
        if (getaddrinfo("localhost", "80", nullptr, &ai) == 0) freeaddrinfo(ai);
    });
    printf("detector stack: %zu of %zu bytes used by the deepest answers\n", used, DetectorBase::kStackBytes);
    EXPECT_GT(topics, 80u);  // the deep levels were walked, not refused
    EXPECT_EQ(notifs, 1u);
    EXPECT_LE(used, DetectorBase::kStackBytes / 2);
}
#endif
