// The shared log writer: entries that stay whole and are all kept, in the log
// and its gzip archives, while threads and processes write at once across
// rotations.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dupfromox/oxdebuglog.h"
#include "tests/fixtures/testutil.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

using camtest::ReadFile;

// Decompresses a gzip archive; fails the test if it is not valid gzip.
std::string Gunzip(const std::string& path) {
    std::string out;
    FILE* p = popen(("gzip -dc '" + path + "'").c_str(), "r");
    if (!p) return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << path << " is not a valid gzip file";
    return out;
}

class OxDebugLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/oxlogtest.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_Dir = tmpl;
        m_Log = m_Dir + "/korvane.log";
        BrellinOwned::OXSetLogPath(m_Log);
    }
    void TearDown() override {
        BrellinOwned::OXSetLogPath("");
        EXPECT_EQ(system(("rm -rf '" + m_Dir + "'").c_str()), 0);
    }
    std::string Archive(int i) const { return m_Log + "." + std::to_string(i) + ".gz"; }
    std::vector<int> ArchivesPresent() const {
        std::vector<int> out;
        for (int i = 0; i < 12; ++i)
            if (Exists(Archive(i))) out.push_back(i);
        return out;
    }
    // Every line of the log and all its archives, oldest first.
    std::vector<std::string> AllLines() {
        std::string all;
        for (int i = 9; i >= 0; --i)
            if (Exists(Archive(i))) all += Gunzip(Archive(i));
        if (Exists(m_Log)) all += ReadFile(m_Log);
        std::vector<std::string> lines;
        std::istringstream in(all);
        std::string line;
        while (std::getline(in, line)) lines.push_back(line);
        EXPECT_TRUE(all.empty() || all.back() == '\n') << "the last entry is cut short";
        return lines;
    }

    std::string m_Dir;
    std::string m_Log;
};

// Writer identity and sequence number, then a payload of a letter of its own:
// a torn or interleaved line carries another entry's time and name and cannot pass.
std::string Payload(int writer, int seq, size_t len) { return std::string(len, (char)('a' + (writer * 7 + seq) % 26)); }

void WriteEntries(int writer, int count, size_t len) {
    for (int seq = 0; seq < count; ++seq) {
        const std::string p = Payload(writer, seq, len + (size_t)(seq % 37));
        BrellinOwned::OXPrintf("W%d S%d %s END\n", writer, seq, p.c_str());
    }
}

// Every line is one whole entry after its 16-character time stamp, and each
// (writer, seq) occurs once: sorted, the lines are the entries written.
void CheckEntries(std::vector<std::string> lines, int writers, int count, size_t len) {
    std::vector<std::string> want;
    for (int w = 0; w < writers; ++w) {
        for (int s = 0; s < count; ++s) {
            want.push_back("W" + std::to_string(w) + " S" + std::to_string(s) + " " +
                           Payload(w, s, len + (size_t)(s % 37)) + " END");
        }
    }
    for (std::string& line : lines) line.erase(0, 16);
    std::sort(want.begin(), want.end());
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines.size(), want.size()) << "entries were lost or repeated";
    const auto diff = std::mismatch(lines.begin(), lines.end(), want.begin(), want.end());
    if (diff.first != lines.end()) ADD_FAILURE() << "torn, lost or repeated entry: " << diff.first->substr(0, 120);
}

// About 1 MB from processes of two threads each: several rotations, well
// within the ten archives. (Threads tear on a shared buffer, processes on a
// lock that is not the file's.)
TEST_F(OxDebugLogTest, ThreadsAndProcessesNeverInterleaveAcrossRotations) {
    const int kProcs = 3, kEntries = 300;
    std::vector<pid_t> pids;
    for (int p = 0; p < kProcs; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::thread other(WriteEntries, 2 * p + 1, kEntries, 600);
            WriteEntries(2 * p, kEntries, 600);
            other.join();
            _exit(0);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_GE(ArchivesPresent().size(), 3u) << "the test should have crossed several rotations";
    CheckEntries(AllLines(), 2 * kProcs, kEntries, 600);
}

}  // namespace
