// The pull-point life cycle against a scripted event service: subscription
// retries and the termination-time fallback, unsubscribing, recreation after
// three failed pulls, feeding the followers, and the state left at Stop.
#include <gtest/gtest.h>

#include <algorithm>

#include <deque>
#include <mutex>

#include "camdet/vendors/onvif.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/testsupport.h"

namespace {

// Plays the camera's event service from a script; records every call.
class ScriptedEventService : public OnvifEventService {
public:
    int CreatePullPointSubscription(const std::string& filter, const std::string& termTime, const OVF_NS_LIST& ns,
                                    OVF_EVT_PULL_PT& pp) override {
        std::lock_guard<std::mutex> g(mu);
        calls.push_back("create[" + filter + "][" + termTime + "]");
        lastNs = ns;
        int rc = Next(createResults, 0);
        if (rc == 0) {
            pp.address = noAddress ? "" : "http://127.0.0.1/sub/" + std::to_string(++subscriptions);
            pp.terminationTime = termTime;
        }
        return rc;
    }
    int PullMessages(const OVF_EVT_PULL_PT& pp, const std::string& timeout, const std::string& limit,
                     OVF_EVT_PULL_MSG& msg) override {
        std::lock_guard<std::mutex> g(mu);
        calls.push_back("pull " + pp.address + " " + timeout + " " + limit);
        int rc = Next(pullResults, 0);
        if (rc == 0 && !pullNotifs.empty()) {
            msg.notifs = pullNotifs.front();
            pullNotifs.pop_front();
        }
        return rc;
    }
    int Unsubscribe(const OVF_EVT_PULL_PT& pp) override {
        std::lock_guard<std::mutex> g(mu);
        calls.push_back("unsubscribe " + pp.address);
        return Next(unsubscribeResults, 0);
    }

    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> g(mu);
        return calls;
    }
    bool Called(const std::string& c) {
        std::lock_guard<std::mutex> g(mu);
        return std::find(calls.begin(), calls.end(), c) != calls.end();
    }
    size_t PullsLeft() {
        std::lock_guard<std::mutex> g(mu);
        return pullNotifs.size() + pullResults.size();
    }

    std::mutex mu;
    std::deque<int> createResults, pullResults, unsubscribeResults;
    std::deque<OVF_NOTIF_LIST> pullNotifs;
    bool noAddress = false;
    int subscriptions = 0;
    std::vector<std::string> calls;
    OVF_NS_LIST lastNs;

private:
    static int Next(std::deque<int>& q, int dflt) {
        if (q.empty()) return dflt;
        int v = q.front();
        q.pop_front();
        return v;
    }
};

OVF_EVT_NOTIF Motion(const std::string& v) {
    OVF_EVT_NOTIF n;
    n.topic = "tns1:RuleEngine/CellMotionDetector/Motion";
    n.propOper = "Changed";
    n.source = {{"VideoSourceConfigurationToken", "vsc0"}, {"VideoAnalyticsConfigurationToken", "a"}, {"Rule", "r"}};
    n.data = {{"IsMotion", v}};
    return n;
}

OVF_EVT_NOTIF Tamper(const std::string& v) {
    OVF_EVT_NOTIF n;
    n.topic = "tns1:RuleEngine/TamperDetector/Tamper";
    n.propOper = "Changed";
    n.source = {{"VideoSourceConfigurationToken", "vsc0"}, {"VideoAnalyticsConfigurationToken", "a"}, {"Rule", "r"}};
    n.data = {{"IsTamper", v}};
    return n;
}

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

ScriptedEventService* Script(OnvifPullPointDetector& det) {
    ScriptedEventService* s = new ScriptedEventService();
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
        const char* logged;  // null: nothing logged
    } rows[] = {
        {"third attempt succeeds", {-1, -1, 0}, false, "", 0, "", {"create[][]", "create[][]", "create[][]"}, nullptr},
        {"three failures", {-1, -1, -1}, false, "", -1, "", {"create[][]", "create[][]", "create[][]"},
         "Failed to create pull point. FilterXpath=[], TermTime=[]\n"},
        {"no address: asks again with a termination time", {0, -1, 0}, true, "", 0, "PT60S",
         {"create[][]", "create[][PT60S]", "create[][PT60S]"}, nullptr},
        {"no address but a termination time was asked", {0}, true, "PT60S", 0, "PT60S", {"create[][PT60S]"},
         nullptr},
        {"no address, the fallback fails too", {0, -1, -1, -1}, true, "", -1, "PT60S",
         {"create[][]", "create[][PT60S]", "create[][PT60S]", "create[][PT60S]"},
         "Failed to create pull point. FilterXpath=[], TermTime=[PT60S]\n"},
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
        std::string before = rig.log.Text();
        EXPECT_EQ(md.CreatePullPoint("", term, pp), r.rc);
        EXPECT_EQ(term, r.termOut);
        EXPECT_EQ(s->Calls(), r.calls);
        std::string added = rig.log.Text().substr(before.size());
        if (r.logged) {
            EXPECT_NE(added.find(std::string("camdet/onvifdetector:")), std::string::npos);
            EXPECT_NE(added.find(r.logged), std::string::npos) << added;
        } else {
            EXPECT_EQ(added, "");
        }
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
    EventBuf tdBuf;
    Fast<OnvifMD> md(rig.rig.Attr());  // first to link: the owner
    DET_BASE_ATTR tdAttr = rig.rig.Attr();
    tdAttr.evtBufHdl = EventBufHandler(&tdBuf);
    Fast<OnvifTD> td(tdAttr);  // follower
    ASSERT_TRUE(td.IsShareFollower());
    ScriptedEventService* s = Script(md);
    ScriptedEventService* tdService = Script(td);
    std::mutex mu;
    std::vector<std::pair<bool, int> > changes;  // motion status changes as reported
    rig.rig.buf.SetListener([&](bool trig, int level) {
        std::lock_guard<std::mutex> g(mu);
        if (changes.empty() || changes.back() != std::make_pair(trig, level)) changes.push_back({trig, level});
    });

    // Pull 1: motion and tampering; then three failed pulls; pull 5 (on the
    // new subscription): motion off; then empty pulls.
    s->pullResults = {0, -1, -1, -1, 0};
    s->pullNotifs = {{Motion("true"), Tamper("true")}, {Motion("false")}};
    ASSERT_EQ(td.Start(), 0);
    ASSERT_EQ(md.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return s->Called("pull http://127.0.0.1/sub/2 PT2S 8") && s->PullsLeft() == 0; }));
    ASSERT_TRUE(WaitFor([&] { return !rig.rig.buf.GetTrig(); }));
    // The new subscription starts from what the camera says on it: the
    // tampering it did not repeat is no longer held by the follower.
    EXPECT_FALSE(tdBuf.GetTrig());
    EXPECT_TRUE(tdService->Calls().empty());  // followers never talk to the camera

    std::vector<std::string> calls = s->Calls();
    std::vector<std::string> head(calls.begin(), calls.begin() + 7);
    EXPECT_EQ(head, (std::vector<std::string>{
                        "create[][]", "pull http://127.0.0.1/sub/1 PT2S 8", "pull http://127.0.0.1/sub/1 PT2S 8",
                        "pull http://127.0.0.1/sub/1 PT2S 8", "pull http://127.0.0.1/sub/1 PT2S 8",
                        "unsubscribe http://127.0.0.1/sub/1", "create[][]"}));
    EXPECT_NE(rig.log.Text().find("Cam[1]: Failed to pulling event. [][PT2S][8]\n"), std::string::npos);

    ASSERT_EQ(md.Stop(), 0);
    EXPECT_EQ(s->Calls().back(), "unsubscribe http://127.0.0.1/sub/2");
    // The motion trigger went up on pull 1 and down on pull 5; nothing was
    // reported for the failed pulls.
    {
        std::lock_guard<std::mutex> g(mu);
        EXPECT_EQ(changes, (std::vector<std::pair<bool, int> >{{true, 100}, {false, 0}}));
    }
    td.Stop();
    rig.rig.buf.SetListener(nullptr);
}

// A camera that refuses every subscription is asked again with growing
// gaps (up to 30 s), and never pulled without a subscription.
TEST(OnvifPullPoint, RefusedSubscriptionsAreAskedWithGrowingGaps) {
    Rig rig;
    Fast<OnvifMD> md(rig.rig.Attr());
    ScriptedEventService* s = Script(md);
    s->createResults = std::deque<int>(40, -1);
    ASSERT_EQ(md.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return s->Calls().size() >= 30; }));
    md.Stop();
    std::vector<std::string> calls = s->Calls();
    std::vector<std::string> head(calls.begin(), calls.begin() + 7);
    EXPECT_EQ(head, (std::vector<std::string>{"create[][]", "create[][]", "create[][]", "create[][PT60S]",
                                              "create[][PT60S]", "create[][PT60S]", "create[][PT60S]"}));
    for (const std::string& c : calls) EXPECT_EQ(c.find("pull"), std::string::npos) << c;
    // Between attempts of one try 300 ms; between tries 1, 2, 4 ... 30 s.
    std::vector<int64_t> gaps;
    for (int64_t w : rig.clock.Waits())
        if (w >= 1000) gaps.push_back(w);
    ASSERT_GE(gaps.size(), 7u) << ::testing::PrintToString(rig.clock.Waits());
    EXPECT_EQ(std::vector<int64_t>({1000, 2000, 4000, 8000, 16000, 30000, 30000}),
              std::vector<int64_t>(gaps.begin(), gaps.begin() + 7));
    std::string log = rig.log.Text();
    EXPECT_NE(log.find("FilterXpath=[], TermTime=[]\n"), std::string::npos);
    EXPECT_NE(log.find("FilterXpath=[], TermTime=[PT60S]\n"), std::string::npos);
}

// After a refused subscription succeeds, the gaps start again from the first.
TEST(OnvifPullPoint, ASuccessfulSubscriptionEndsTheBackOff) {
    Rig rig;
    Fast<OnvifMD> md(rig.rig.Attr());
    ScriptedEventService* s = Script(md);
    // Two failed tries (6 + 3 attempts), then a subscription whose pulls fail
    // three times, then refusals again.
    s->createResults = {-1, -1, -1, -1, -1, -1, -1, -1, -1, 0, -1, -1, -1, -1, -1, -1};
    s->pullResults = {-1, -1, -1};
    ASSERT_EQ(md.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return s->Calls().size() >= 20; }));
    md.Stop();
    std::vector<int64_t> gaps;
    for (int64_t w : rig.clock.Waits())
        if (w >= 1000) gaps.push_back(w);
    ASSERT_GE(gaps.size(), 3u) << ::testing::PrintToString(rig.clock.Waits());
    EXPECT_EQ(std::vector<int64_t>({1000, 2000, 1000}), std::vector<int64_t>(gaps.begin(), gaps.begin() + 3));
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
        const size_t n = std::min(m_Queue.size(), (size_t)atoi(limit.c_str()));
        for (size_t i = 0; i < n; ++i) {
            msg.notifs.push_back(Motion(m_Queue.front().first % 2 ? "true" : "false"));
            msg.notifs.back().utcTime = std::to_string(m_Queue.front().first);
            lag = std::max(lag, now - m_Queue.front().second);
            m_Queue.pop_front();
        }
        ++pulls;
        backlogAfterPull = m_Queue.size();
        maxBacklog = std::max(maxBacklog, backlogAfterPull);
        return 0;
    }
    int64_t lag = 0;             // longest time a notification waited in the camera
    size_t backlogAfterPull = 0;
    size_t maxBacklog = 0;
    int pulls = 0;

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
        std::lock_guard<std::mutex> g(mu);
        for (const OVF_EVT_NOTIF& n : notifs) seen.push_back(atoi(n.utcTime.c_str()));
        return OnvifMD::IsTrig(notifs, level);
    }
    std::vector<int> Seen() {
        std::lock_guard<std::mutex> g(mu);
        return seen;
    }

private:
    std::mutex mu;
    std::vector<int> seen;
};

TEST(OnvifPullPoint, ABusyCameraIsPulledAsFastAsItQueues) {
    Rig rig;
    RecordingMD md(rig.rig.Attr());
    BusyEventService* s = new BusyEventService(rig.clock);
    md.SetEventService(std::unique_ptr<OnvifEventService>(s));
    ASSERT_EQ(md.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return md.Seen().size() >= 600; }, 30000));
    md.Stop();
    std::vector<int> seen = md.Seen();
    ASSERT_EQ(600u, seen.size());
    for (int i = 0; i < 600; ++i) ASSERT_EQ(i, seen[i]);
    std::lock_guard<std::mutex> g(s->mu);
    // Never more waiting than one batch, and none longer than one pull interval.
    EXPECT_LE(s->maxBacklog, 8u);
    EXPECT_LE(s->lag, 500);
}

// A camera that enforces a short termination time: the subscription is
// renewed before it lapses, so no pull ever meets a lapsed subscription.
class ExpiringEventService : public ScriptedEventService {
public:
    explicit ExpiringEventService(camtest::FakeClock& clock) : m_Clock(clock) {}
    int CreatePullPointSubscription(const std::string& filter, const std::string& termTime, const OVF_NS_LIST& ns,
                                    OVF_EVT_PULL_PT& pp) override {
        int rc = ScriptedEventService::CreatePullPointSubscription(filter, termTime, ns, pp);
        std::lock_guard<std::mutex> g(mu);
        m_Expires = m_Clock.NowMs() + 3000;
        pp.termSecondsLeft = 3;
        return rc;
    }
    int Renew(OVF_EVT_PULL_PT& pp, const std::string& termTime) override {
        std::lock_guard<std::mutex> g(mu);
        calls.push_back("renew " + pp.address + " " + termTime);
        if (m_Clock.NowMs() >= m_Expires) return -1;
        m_Expires = m_Clock.NowMs() + 3000;
        pp.termSecondsLeft = 3;
        return 0;
    }
    int PullMessages(const OVF_EVT_PULL_PT& pp, const std::string& timeout, const std::string& limit,
                     OVF_EVT_PULL_MSG& msg) override {
        {
            std::lock_guard<std::mutex> g(mu);
            ++pulls;
            if (m_Clock.NowMs() >= m_Expires) ++lapsedPulls;
        }
        return ScriptedEventService::PullMessages(pp, timeout, limit, msg);
    }
    int pulls = 0;
    int lapsedPulls = 0;

private:
    camtest::FakeClock& m_Clock;
    int64_t m_Expires = 0;
};

TEST(OnvifPullPoint, AShortTerminationTimeIsRenewedBeforeItLapses) {
    Rig rig;
    OnvifMD md(rig.rig.Attr());
    ExpiringEventService* s = new ExpiringEventService(rig.clock);
    md.SetEventService(std::unique_ptr<OnvifEventService>(s));
    ASSERT_EQ(md.Start(), 0);
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> g(s->mu);
        return s->pulls >= 120;  // a minute of pulls at 500 ms
    }));
    md.Stop();
    std::lock_guard<std::mutex> g(s->mu);
    EXPECT_EQ(0, s->lapsedPulls);
    EXPECT_EQ(1, std::count_if(s->calls.begin(), s->calls.end(),
                               [](const std::string& c) { return c.compare(0, 6, "create") == 0; }));
    EXPECT_GE(std::count_if(s->calls.begin(), s->calls.end(),
                            [](const std::string& c) { return c.compare(0, 5, "renew") == 0; }),
              20);
}

}  // namespace
