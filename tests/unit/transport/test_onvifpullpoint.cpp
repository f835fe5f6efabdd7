// The pull-point life cycle against a scripted event service.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <deque>
#include <mutex>

#include "camdet/vendors/onvif.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/onvifnotifs.h"
#include "tests/fixtures/statushistory.h"
#include "tests/fixtures/testsupport.h"

namespace {

// Plays the camera's event service from a script; records every call. The
// switches that need time run on the test's clock (clock set): the camera is
// gone, answering nothing, in [goneFrom, goneUntil); it drops a subscription
// termSec seconds after its creation or renewal (0: never); it holds an empty
// pull for its whole time-out (holdEmptyPulls).
class ScriptedEventService : public OnvifEventService {
public:
    explicit ScriptedEventService(camtest::FakeClock* c = nullptr) : clock(c) {}
    int CreatePullPointSubscription(const std::string& filter, const std::string& termTime, const OVF_NS_LIST& ns,
                                    OVF_EVT_PULL_PT& pp) override {
        std::lock_guard<std::mutex> g(mu);
        if (Gone("create")) return kOnvifNoAnswer;
        calls.push_back("create[" + filter + "][" + termTime + "]");
        if (clock) createdAt.push_back(clock->NowMs());
        lastNs = ns;
        int rc = Next(createResults, 0);
        if (rc == 0) {
            pp.address = noAddress ? "" : "http://127.0.0.1/sub/" + std::to_string(++subscriptions);
            pp.terminationTime = termTime;
            if (subscriptions > 1 && !onSync.empty()) pullNotifs.push_front(onSync);
            Extend(pp);
        }
        return rc;
    }
    int PullMessages(const OVF_EVT_PULL_PT& pp, const std::string& timeout, const std::string& limit,
                     OVF_EVT_PULL_MSG& msg) override {
        std::unique_lock<std::mutex> g(mu);
        if (Gone("pull")) return kOnvifNoAnswer;
        calls.push_back("pull " + pp.address + " " + timeout + " " + limit);
        if (clock) pulledAt.push_back(clock->NowMs());
        ++pulls;
        if (termSec && clock->NowMs() >= expires) ++lapsedPulls;
        if (holdEmptyPulls) {
            waits.push_back(timeout);
            if (pullNotifs.empty()) {
                g.unlock();
                clock->Advance(atoi(timeout.c_str() + 2) * 1000);
                g.lock();
            }
        }
        int rc = Next(pullResults, 0);
        if (rc == 0 && !pullNotifs.empty()) {
            msg.notifs = pullNotifs.front();
            pullNotifs.pop_front();
        }
        return rc;
    }
    int Renew(OVF_EVT_PULL_PT& pp, const std::string& termTime) override {
        std::lock_guard<std::mutex> g(mu);
        calls.push_back("renew " + pp.address + " " + termTime);
        if (termSec && clock->NowMs() >= expires) return -1;
        if (int rc = Next(renewResults, 0)) return rc;
        Extend(pp);
        return 0;
    }
    int Unsubscribe(const OVF_EVT_PULL_PT& pp) override {
        std::lock_guard<std::mutex> g(mu);
        if (Gone("unsubscribe")) return kOnvifNoAnswer;
        calls.push_back("unsubscribe " + pp.address);
        return Next(unsubscribeResults, 0);
    }
    // The states of onSync come on the next pull, as "Initialized" messages
    // do after a synchronisation point or on a new subscription.
    int SetSynchronizationPoint(const OVF_EVT_PULL_PT& pp) override {
        std::lock_guard<std::mutex> g(mu);
        if (Gone("sync")) return kOnvifNoAnswer;
        calls.push_back("sync " + pp.address);
        int rc = Next(syncResults, 0);
        if (rc == 0 && !onSync.empty()) pullNotifs.push_front(onSync);
        return rc;
    }
    int CheckDevice(int) override {
        std::lock_guard<std::mutex> g(mu);
        calls.push_back("check");
        if (clock) checkedAt.push_back(clock->NowMs());
        return IsGone() ? kOnvifNoAnswer : 0;
    }

    // The first n calls (all by default).
    std::vector<std::string> Calls(size_t n = SIZE_MAX) {
        std::lock_guard<std::mutex> g(mu);
        return std::vector<std::string>(calls.begin(), calls.begin() + (long)std::min(n, calls.size()));
    }
    size_t PullsLeft() {
        std::lock_guard<std::mutex> g(mu);
        return pullNotifs.size() + pullResults.size();
    }
    // Calls that start with prefix.
    long Count(const std::string& prefix) {
        std::lock_guard<std::mutex> g(mu);
        return std::count_if(calls.begin(), calls.end(),
                             [&](const std::string& c) { return c.compare(0, prefix.size(), prefix) == 0; });
    }

    std::mutex mu;
    std::deque<int> createResults, pullResults, renewResults, unsubscribeResults, syncResults;
    std::deque<OVF_NOTIF_LIST> pullNotifs;
    OVF_NOTIF_LIST onSync;
    bool noAddress = false;
    int subscriptions = 0;
    std::vector<std::string> calls;
    OVF_NS_LIST lastNs;
    camtest::FakeClock* clock;
    int64_t goneFrom = 0, goneUntil = 0;
    int termSec = 0;
    bool holdEmptyPulls = false;
    int pulls = 0, lapsedPulls = 0;
    std::vector<int64_t> createdAt, pulledAt, checkedAt;
    std::vector<std::string> waits;  // the pull time-outs asked for (holdEmptyPulls)

private:
    static int Next(std::deque<int>& q, int dflt) {
        if (q.empty()) return dflt;
        int v = q.front();
        q.pop_front();
        return v;
    }
    bool IsGone() const { return clock && clock->NowMs() >= goneFrom && clock->NowMs() < goneUntil; }
    // Records what is asked while the camera is gone.
    bool Gone(const char* what) {
        if (!IsGone()) return false;
        calls.push_back(std::string(what) + " (gone)");
        return true;
    }
    void Extend(OVF_EVT_PULL_PT& pp) {
        if (!termSec) return;
        expires = clock->NowMs() + termSec * 1000;
        pp.termSecondsLeft = termSec;
    }
    int64_t expires = 0;
};

template <typename Base>
class Fast : public Base {
public:
    explicit Fast(DET_BASE_ATTR a) : Base(a) {
        std::list<OVF_MED_VDO_SRC_CONF> confs(1);
        confs.front().field[0] = "vsc0";
        OnvifMatch::ReplaceVdoSrcToken(this->EvtInfo(), confs, "");
    }
};

// Pacing (500 ms) and retry pauses (300 ms) cost no real time.
struct Rig {
    camtest::FakeClock clock;
    SharingReset sharing;
    LogCapture log;
    CameraRig rig;
    Rig() {
        rig.UseClock(clock);
        rig.cap.SetAPI("onvif");
        rig.cap.SetOnvifTopic(DET_TYPE_MD, "tns1:RuleEngine/CellMotionDetector/Motion;IsMotion");
        rig.cap.SetOnvifTopic(DET_TYPE_TD, "tns1:RuleEngine/TamperDetector/Tamper;IsTamper");
        rig.cap.SetOnvifEvtTopicNs("tns1@http://www.onvif.org/ver10/topics,junk,tnsv@http://vendor.example/t");
    }
};

ScriptedEventService* Script(OnvifPullPointDetector& det, camtest::FakeClock* clock = nullptr) {
    ScriptedEventService* s = new ScriptedEventService(clock);
    det.SetEventService(std::unique_ptr<OnvifEventService>(s));
    return s;
}

TEST(OnvifPullPoint, CreateRetriesAndTerminationTime) {
    struct {
        const char* name;
        std::deque<int> results;
        bool noAddress;
        const char* termIn;
        int rc;
        const char* termOut;
        std::vector<std::string> calls;
    } rows[] = {
        {"third attempt succeeds", {-1, -1, 0}, false, "", 0, "", {"create[][]", "create[][]", "create[][]"}},
        {"three failures", {-1, -1, -1}, false, "", -1, "", {"create[][]", "create[][]", "create[][]"}},
        {"no address: asks again with a termination time", {0, -1, 0}, true, "", 0, "PT60S",
         {"create[][]", "create[][PT60S]", "create[][PT60S]"}},
        {"no address but a termination time was asked", {0}, true, "PT60S", 0, "PT60S", {"create[][PT60S]"}},
        {"no address, the fallback fails too", {0, -1, -1, -1}, true, "", -1, "PT60S",
         {"create[][]", "create[][PT60S]", "create[][PT60S]", "create[][PT60S]"}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        OnvifMD md(rig.rig.Attr());
        ScriptedEventService* s = Script(md);
        s->createResults = r.results;
        s->noAddress = r.noAddress;
        std::string term = r.termIn;
        OVF_EVT_PULL_PT pp;
        EXPECT_EQ(md.CreatePullPoint("", term, pp), r.rc);
        EXPECT_EQ(term, r.termOut);
        EXPECT_EQ(s->Calls(), r.calls);
        // The camera's namespace prefixes go with every request; items without "@" are dropped.
        EXPECT_EQ(s->lastNs.size(), 2u);
    }
}

TEST(OnvifPullPoint, RecreatingUnsubscribesFirst) {
    Rig rig;
    OnvifMD md(rig.rig.Attr());
    ScriptedEventService* s = Script(md);
    std::string term;
    OVF_EVT_PULL_PT pp;
    ASSERT_EQ(md.CreatePullPoint("", term, pp), 0);
    EXPECT_EQ(pp.address, "http://127.0.0.1/sub/1");
    s->unsubscribeResults = {-1};  // refused: the record is dropped all the same
    ASSERT_EQ(md.CreatePullPoint("", term, pp), 0);
    EXPECT_EQ(pp.address, "http://127.0.0.1/sub/2");
    EXPECT_EQ(s->Calls(), (std::vector<std::string>{"create[][]", "unsubscribe http://127.0.0.1/sub/1", "create[][]"}));
    s->unsubscribeResults = {-1};
    EXPECT_EQ(md.DeletePullPoint(pp), -1);
    EXPECT_TRUE(pp.address.empty() && pp.currentTime.empty() && pp.terminationTime.empty());
    EXPECT_EQ(md.DeletePullPoint(pp), 0);  // nothing to unsubscribe
    EXPECT_EQ(s->Calls().size(), 4u);
}

TEST(OnvifPullPoint, DetectorThreadPullsRecreatesAndFeedsFollowers) {
    Rig rig;
    camtest::StatusHistory h;  // motion
    h.Attach(rig.rig.buf);
    EventBuf tdBuf;
    Fast<OnvifMD> md(rig.rig.Attr());  // first to link: the owner
    DET_BASE_ATTR tdAttr = rig.rig.Attr();
    tdAttr.evtBufHdl = EventBufHandler(&tdBuf);
    Fast<OnvifTD> td(tdAttr);  // follower
    ASSERT_TRUE(td.IsShareFollower());
    ScriptedEventService* s = Script(md);
    ScriptedEventService* tdService = Script(td);

    // Pull 1: motion and tampering; then three failed pulls; pull 5 (on the
    // new subscription): motion off; then empty pulls.
    s->pullResults = {0, kOnvifFault, kOnvifFault, kOnvifFault, 0};
    s->pullNotifs = {{Motion("r", "true"), Tamper("true")}, {Motion("r", "false")}};
    ASSERT_EQ(td.Start(), 0);
    ASSERT_EQ(md.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return s->Count("pull http://127.0.0.1/sub/2 PT60S 8") > 0 && s->PullsLeft() == 0; }));
    ASSERT_TRUE(WaitFor([&] { return !rig.rig.buf.GetTrig(); }));
    // The new subscription starts from what the camera says on it: the
    // tampering it did not repeat is no longer held by the follower (which
    // hears of that pull just after the owner).
    EXPECT_TRUE(WaitFor([&] { return !tdBuf.GetTrig(); }));
    EXPECT_TRUE(tdService->Calls().empty());  // followers never talk to the camera

    const std::string pull = "pull http://127.0.0.1/sub/1 PT60S 8";
    EXPECT_EQ(s->Calls(7), (std::vector<std::string>{"create[][]", pull, pull, pull, pull,
                                                     "unsubscribe http://127.0.0.1/sub/1", "create[][]"}));
    EXPECT_NE(rig.log.Text().find("Cam[1]: Failed to pulling event. [][PT60S][8]\n"), std::string::npos);

    ASSERT_EQ(md.Stop(), 0);
    EXPECT_EQ(s->Calls().back(), "unsubscribe http://127.0.0.1/sub/2");
    // The motion trigger went up on pull 1 and down on pull 5; nothing was
    // reported for the failed pulls.
    EXPECT_EQ(h.Changes(), camtest::States({{true, 100}, {false, 0}}));
    td.Stop();
}

// A camera that refuses every subscription is asked again with growing gaps
// between tries (1, 2, 4 ... 30 s; 300 ms between the attempts of one try),
// and never pulled without a subscription; once one succeeds the gaps start
// again from the first.
TEST(OnvifPullPoint, RefusedSubscriptionsAreAskedWithGrowingGaps) {
    const int f = kOnvifFault;
    struct {
        const char* name;
        std::deque<int> creates, pulls;
        std::vector<int64_t> gaps;
    } rows[] = {
        {"refused for ever", std::deque<int>(100000, f), {}, {1000, 2000, 4000, 8000, 16000, 30000, 30000}},
        // Two failed tries (6 + 3 attempts), a subscription whose pulls fail
        // three times, then refusals again.
        {"refused, taken, refused", {f, f, f, f, f, f, f, f, f, 0, f, f, f, f, f, f}, {f, f, f}, {1000, 2000, 1000}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        Fast<OnvifMD> md(rig.rig.Attr());
        ScriptedEventService* s = Script(md);
        s->createResults = r.creates;
        s->pullResults = r.pulls;
        ASSERT_EQ(md.Start(), 0);
        ASSERT_TRUE(WaitFor([&] { return s->Calls().size() >= 30; }));
        md.Stop();
        std::vector<int64_t> gaps;
        for (int64_t w : rig.clock.Waits())
            if (w >= 1000) gaps.push_back(w);
        ASSERT_GE(gaps.size(), r.gaps.size()) << ::testing::PrintToString(rig.clock.Waits());
        EXPECT_EQ(r.gaps, std::vector<int64_t>(gaps.begin(), gaps.begin() + (long)r.gaps.size()));
        if (!r.pulls.empty()) continue;
        EXPECT_EQ(s->Calls(7), (std::vector<std::string>{"create[][]", "create[][]", "create[][]", "create[][PT60S]",
                                                         "create[][PT60S]", "create[][PT60S]", "create[][PT60S]"}));
        EXPECT_EQ(0, s->Count("pull"));
    }
}

// A scripted camera that queues 20 notifications a second: full batches are
// pulled back to back, so every notification arrives, in order, and the
// newest within one pull of being queued.
class BusyEventService : public ScriptedEventService {
public:
    explicit BusyEventService(camtest::FakeClock& clock) : m_Clock(clock) {}
    int PullMessages(const OVF_EVT_PULL_PT&, const std::string&, const std::string& limit,
                     OVF_EVT_PULL_MSG& msg) override {
        std::lock_guard<std::mutex> g(mu);
        const int64_t now = m_Clock.NowMs();
        if (m_Start < 0) m_Start = now;
        // Everything the camera queued up to now, one every 50 ms, for 30 s.
        while (m_Queued < 600 && m_Start + m_Queued * 50 <= now) {
            m_Queue.push_back({m_Queued, m_Start + m_Queued * 50});
            ++m_Queued;
        }
        maxLimit = std::max(maxLimit, atoi(limit.c_str()));
        const size_t n = std::min(m_Queue.size(), (size_t)atoi(limit.c_str()));
        for (size_t i = 0; i < n; ++i) {
            msg.notifs.push_back(Motion("r", m_Queue.front().first % 2 ? "true" : "false"));
            msg.notifs.back().utcTime = std::to_string(m_Queue.front().first);
            lag = std::max(lag, now - m_Queue.front().second);
            m_Queue.pop_front();
        }
        ++pulls;
        maxBacklog = std::max(maxBacklog, m_Queue.size());
        return 0;
    }
    int64_t lag = 0;             // longest time a notification waited in the camera
    size_t maxBacklog = 0;
    int maxLimit = 0;  // the most notifications one pull asked for

private:
    camtest::FakeClock& m_Clock;
    int64_t m_Start = -1;
    int m_Queued = 0;
    std::deque<std::pair<int, int64_t> > m_Queue;
};

// Records every notification it is handed, in order.
class RecordingMD : public OnvifMD {
public:
    explicit RecordingMD(DET_BASE_ATTR a) : OnvifMD(a) {}
    using OnvifMD::IsTrig;
    bool IsTrig(const OVF_NOTIF_LIST& notifs, int& level) override {
        for (const OVF_EVT_NOTIF& n : notifs) seen.Note(n.utcTime);
        return OnvifMD::IsTrig(notifs, level);
    }
    camtest::Journal seen;
};

TEST(OnvifPullPoint, ABusyCameraIsPulledAsFastAsItQueues) {
    Rig rig;
    RecordingMD md(rig.rig.Attr());
    BusyEventService* s = new BusyEventService(rig.clock);
    md.SetEventService(std::unique_ptr<OnvifEventService>(s));
    ASSERT_EQ(md.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return md.seen.Get().size() >= 600; }, 30000));
    md.Stop();
    std::vector<std::string> want;
    for (int i = 0; i < 600; ++i) want.push_back(std::to_string(i));
    EXPECT_EQ(want, md.seen.Get());
    std::lock_guard<std::mutex> g(s->mu);
    // Never more waiting than one batch, and none longer than one pull interval.
    EXPECT_LE(s->maxBacklog, 8u);
    EXPECT_LE(s->lag, 500);
    EXPECT_GT(s->maxLimit, 8) << "a full batch did not ask for more on the next pull";
    // Full batches follow each other without a pause; the others are paced.
    for (int64_t w : rig.clock.Waits()) EXPECT_EQ(500, w);
}

// A refused renewal whose new subscription is refused too: nothing was
// pulled, so nothing is reported (the held motion is neither said again
// nor cleared) until a subscription is pulled again.
TEST(OnvifPullPoint, ALostSubscriptionReportsNothingUntilTheNextPull) {
    const int f = kOnvifFault;
    Rig rig;
    camtest::StatusHistory h;
    h.Attach(rig.rig.buf);
    Fast<OnvifMD> md(rig.rig.Attr());
    ScriptedEventService* s = Script(md, &rig.clock);
    s->termSec = 3;  // a renewal before every pull
    s->renewResults = {0, f};
    s->createResults = std::deque<int>(100, f);
    s->createResults.front() = 0;
    s->pullNotifs = {{Motion("r", "true")}};
    ASSERT_EQ(md.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return s->Count("create") >= 7; }));
    EXPECT_EQ(1u, h.Count());
    EXPECT_TRUE(rig.rig.buf.GetTrig());
    md.Stop();
    EXPECT_EQ(1, s->Count("pull"));
}

// ---------------------------------------------------------------- lost answers, outages, long polls

// The state of input DI_0 as a new subscription or a synchronisation point gives it.
OVF_EVT_NOTIF Initialized(const std::string& state) {
    return Notif("tns1:Device/Trigger/DigitalInput", "Initialized", {{"InputToken", "DI_0"}},
                 {{"LogicalState", state}});
}

// The input goes off while a pull's answer is lost: the off arrives with the
// first pull after the camera answers again, because the detector asks for
// the current states (or, where the camera keeps no synchronisation point,
// subscribes again). A refused pull lost nothing and costs nothing more.
TEST(OnvifPullPoint, ALostAnswerIsFollowedByTheCurrentStates) {
    const std::string pull = "pull http://127.0.0.1/sub/1 PT60S 8";
    struct {
        const char* name;
        int failure;
        int syncResult;
        bool offQueued;  // the camera still has the "off" to send
        std::vector<std::string> calls;
    } rows[] = {
        {"unreadable answer", kOnvifBadAnswer, 0, false,
         {"create[][]", pull, pull, "sync http://127.0.0.1/sub/1", pull}},
        {"no answer: nothing lost", kOnvifNoAnswer, 0, true, {"create[][]", pull, pull, pull}},
        {"no synchronisation point: subscribed again", kOnvifBadAnswer, kOnvifFault, false,
         {"create[][]", pull, pull, "sync http://127.0.0.1/sub/1", "unsubscribe http://127.0.0.1/sub/1", "create[][]",
          "pull http://127.0.0.1/sub/2 PT60S 8"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        rig.rig.cap.SetOnvifTopic(DET_TYPE_DI, "tns1:Device/Trigger/DigitalInput;LogicalState");
        OnvifDI di(rig.rig.Attr(true));
        ScriptedEventService* s = Script(di, &rig.clock);
        s->pullResults = {0, r.failure};
        s->pullNotifs = {{Initialized("true")}};
        if (r.offQueued) s->pullNotifs.push_back({Input("DI_0", "false")});
        else s->onSync = {Initialized("false")};
        s->syncResults = {r.syncResult};
        // Port 0's changes, with the number of pulls made when each came.
        std::vector<std::pair<bool, int> > changes;
        int badLevels = 0;  // an input's level is 100 when on, 0 when off
        rig.rig.bufMap.SetListener([&](int port, bool trig, int level) {
            std::lock_guard<std::mutex> g(s->mu);
            if (level != (trig ? 100 : 0)) ++badLevels;
            if (port == 0 && (changes.empty() || changes.back().first != trig)) changes.push_back({trig, s->pulls});
        });
        ASSERT_EQ(di.Start(), 0);
        ASSERT_TRUE(WaitFor([&] { return s->Calls().size() >= r.calls.size() + 2; }));
        di.Stop();
        rig.rig.bufMap.SetListener(nullptr);
        EXPECT_EQ(s->Calls(r.calls.size()), r.calls);
        // On with the first pull; off with the first pull after the failed one.
        std::lock_guard<std::mutex> g(s->mu);
        ASSERT_GE(changes.size(), 2u);
        EXPECT_EQ(changes[0], std::make_pair(true, 1));
        EXPECT_EQ(changes[1], std::make_pair(false, 3));
        EXPECT_EQ(0, badLevels);
    }
}

// A camera gone for 45 s is asked only for its time (no login) every 2 s,
// and subscribed again within 3 s of its return, whatever the back-off of
// refused subscriptions had grown to.
TEST(OnvifPullPoint, ACameraBackFromAnOutageIsSubscribedAgainAtOnce) {
    Rig rig;
    Fast<OnvifMD> md(rig.rig.Attr());
    const int64_t from = rig.clock.NowMs() + 5000, until = from + 45000;
    ScriptedEventService* s = Script(md, &rig.clock);
    s->goneFrom = from;
    s->goneUntil = until;
    ASSERT_EQ(md.Start(), 0);
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> g(s->mu);
        return s->createdAt.size() >= 2;
    }));
    md.Stop();
    std::lock_guard<std::mutex> g(s->mu);
    EXPECT_GE(s->createdAt[1], until);
    EXPECT_LE(s->createdAt[1] - until, 3000);
    // While gone: three failed pulls, the old subscription's unsubscribe and
    // one try of three subscriptions, then only the anonymous time requests.
    std::vector<std::string> gone;
    for (const std::string& c : s->calls)
        if (c.find("(gone)") != std::string::npos) gone.push_back(c);
    EXPECT_EQ(gone, (std::vector<std::string>{"pull (gone)", "pull (gone)", "pull (gone)", "unsubscribe (gone)",
                                              "create (gone)", "create (gone)", "create (gone)"}));
    ASSERT_GE(s->checkedAt.size(), 8u);
    for (size_t i = 1; i < s->checkedAt.size(); ++i) EXPECT_EQ(s->checkedAt[i] - s->checkedAt[i - 1], 2000);
    // Said when it was noticed (2 s before the first time request) and again
    // at each time request 20 s on from the last saying.
    int64_t said = s->checkedAt[0] - 2000;
    size_t want = 1;
    for (int64_t t : s->checkedAt) {
        if (t < until && t >= said + 20000) {
            said = t;
            ++want;
        }
    }
    EXPECT_EQ(want, 3u);
    EXPECT_EQ(want, rig.log.Count("Cam[1]: Failed to reach the ONVIF device; asking it for its time every 2 s.\n"));
    EXPECT_NE(rig.log.Text().find("Cam[1]: The ONVIF device answers again.\n"), std::string::npos);
}

// A motion the camera never clears (hold rule) runs out 5 s after its
// notification: the long poll waits no longer than that, then long again.
TEST(OnvifPullPoint, AHeldMotionShortensTheLongPoll) {
    Rig rig;
    rig.rig.cap.SetOnvifTopic(DET_TYPE_MD, "tns1:RuleEngine/CellMotionDetector/Motion;IsMotion;Hold");
    Fast<OnvifMD> md(rig.rig.Attr());
    // A follower without a hold does not lengthen the owner's short poll.
    EventBuf tdBuf;
    DET_BASE_ATTR tdAttr = rig.rig.Attr();
    tdAttr.evtBufHdl = EventBufHandler(&tdBuf);
    Fast<OnvifTD> td(tdAttr);
    StopOnExit stopTd(td);
    ASSERT_EQ(td.Start(), 0);
    ScriptedEventService* s = Script(md, &rig.clock);
    s->holdEmptyPulls = true;
    s->pullNotifs = {{Motion("r", "true")}};
    std::mutex mu;
    std::vector<std::pair<bool, int64_t> > changes;
    rig.rig.buf.SetListener([&](bool trig, int) {
        std::lock_guard<std::mutex> g(mu);
        if (changes.empty() || changes.back().first != trig) changes.push_back({trig, rig.clock.NowMs()});
    });
    const int64_t start = rig.clock.NowMs();
    ASSERT_EQ(md.Start(), 0);
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> g(s->mu);
        return s->waits.size() >= 5;
    }));
    md.Stop();
    rig.rig.buf.SetListener(nullptr);
    std::lock_guard<std::mutex> g(mu);
    ASSERT_GE(changes.size(), 2u);
    EXPECT_TRUE(changes[0].first);
    EXPECT_FALSE(changes[1].first);
    EXPECT_LE(changes[1].second - start, 6500);
    std::lock_guard<std::mutex> gs(s->mu);
    EXPECT_EQ(std::vector<std::string>(s->waits.begin(), s->waits.begin() + 4),
              (std::vector<std::string>{"PT60S", "PT4S", "PT1S", "PT60S"}));
}

// An idle camera that holds every pull for its time-out and drops a
// subscription 60 s after its creation or renewal: five minutes cost one
// subscription, its renewals and one long pull a minute, never a lapse.
TEST(OnvifPullPoint, AnIdleCameraKeepsOneSubscriptionAndCostsLittle) {
    Rig rig;
    Fast<OnvifMD> md(rig.rig.Attr());
    ScriptedEventService* s = Script(md, &rig.clock);
    s->termSec = 60;
    s->holdEmptyPulls = true;
    const int64_t start = rig.clock.NowMs();
    ASSERT_EQ(md.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return rig.clock.NowMs() >= start + 5 * 60000; }));
    md.Stop();
    EXPECT_EQ(1, s->Count("create"));
    EXPECT_GE(s->Count("renew"), 1);
    std::lock_guard<std::mutex> g(s->mu);
    EXPECT_EQ(0, s->lapsedPulls);
    EXPECT_LE(std::count_if(s->pulledAt.begin(), s->pulledAt.end(), [&](int64_t t) { return t < start + 5 * 60000; }),
              6);
}

}  // namespace
