// Child processes of the tests: any program, and the built camdet-monitor
// (CAMDET_MONITOR) whose stdout (the --json status lines) feeds a StatusLog
// or is run to its end.
#ifndef TESTS_INTEGRATION_CAMSIM_MONITORPROCESS_H
#define TESTS_INTEGRATION_CAMSIM_MONITORPROCESS_H

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"

namespace camtest {

// A simulated camera of the family `api` whose login is admin / `password`.
inline camsim::Config SimConfig(const std::string& api, const std::string& password, int inputs = 2) {
    camsim::Config cfg;
    cfg.api = api;
    cfg.user = "admin";
    cfg.password = password;
    cfg.inputs = inputs;
    return cfg;
}

// A child process: argv[0] is the program; its stdout is read line by line
// into a callback (Read) or handed over (TakeStdout), or joins its stderr;
// stderr goes to a file (errPath), to errFd, or stays the test's; fdAt
// gives it more descriptors (the test's first at the number second).
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::string& errPath, bool pipeStdout = true, int errFd = -1,
          const std::vector<std::pair<int, int> >& fdAt = {}) {
        int fds[2] = {-1, -1};
        // Close-on-exec: a child another thread starts meanwhile must not hold this pipe open.
        if (pipeStdout && pipe2(fds, O_CLOEXEC) != 0) return;
        m_Pid = fork();
        if (m_Pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a killed test
            FILE* err = errPath.empty() ? nullptr : fopen(errPath.c_str(), "w");
            if (err) dup2(fileno(err), 2);
            else if (errFd >= 0) dup2(errFd, 2);
            if (pipeStdout) {
                dup2(fds[1], 1);
                close(fds[0]);
                close(fds[1]);
            } else {
                dup2(2, 1);
            }
            for (const auto& f : fdAt) dup2(f.first, f.second);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        if (pipeStdout) {
            close(fds[1]);
            m_Fd = fds[0];
        }
    }
    ~Child() {
        Kill(SIGKILL);
        Wait();
        if (m_Reader.joinable()) m_Reader.join();
        if (m_Fd >= 0) close(m_Fd);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void Read(std::function<void(const std::string&)> onLine) {
        m_Reader = std::thread([this, onLine] { ForEachLine(m_Fd, onLine); });
    }
    // The read end of its stdout, now the caller's to close.
    int TakeStdout() {
        const int fd = m_Fd;
        m_Fd = -1;
        return fd;
    }
    bool Running() const { return m_Pid > 0 && !m_Reaped; }
    void Kill(int sig) {
        if (m_Pid > 0 && !m_Reaped) kill(m_Pid, sig);
    }
    // Exit status; -1 when it did not exit normally.
    int Wait() {
        if (m_Pid <= 0) return -1;
        if (!m_Reaped) {
            waitpid(m_Pid, &m_Status, 0);
            m_Reaped = true;
        }
        return WIFEXITED(m_Status) ? WEXITSTATUS(m_Status) : -1;
    }

private:
    pid_t m_Pid = -1;
    int m_Fd = -1;
    int m_Status = 0;
    bool m_Reaped = false;
    std::thread m_Reader;
};

// The monitor's command line: CAMDET_MONITOR, then args.
inline std::vector<std::string> MonitorArgv(const std::vector<std::string>& args) {
    std::vector<std::string> argv{CAMDET_MONITOR};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

// camdet-monitor (CAMDET_MONITOR) with its --json lines in a StatusLog.
class MonitorProcess {
public:
    // errPath: a file its stderr goes to ("": the test's own, or errFd when that is >= 0).
    explicit MonitorProcess(const std::vector<std::string>& args, const std::string& errPath = std::string(),
                            int errFd = -1)
        : m_Child(MonitorArgv(args), errPath, true, errFd), m_Log(m_Child.TakeStdout()) {}
    // Killed first: the log's reader ends with the process's stdout.
    ~MonitorProcess() { Signal(SIGKILL); }

    StatusLog& Log() { return m_Log; }
    bool Running() const { return m_Child.Running(); }
    void Kill(int sig) { m_Child.Kill(sig); }
    // Sends sig (0: none, the program ends by itself), waits for the exit; its
    // status (-1 when it did not exit normally).
    int Signal(int sig) {
        m_Child.Kill(sig);
        return m_Child.Wait();
    }

private:
    Child m_Child;
    StatusLog m_Log;
};

// A file of this test process in the build directory.
inline std::string TempPath(const std::string& name) {
    return std::string(CAMDET_BINARY_DIR) + "/test-" + std::to_string(getpid()) + "-" + name;
}

// True once the file at path holds text; waits at most `ms`.
inline bool WaitFileHas(const std::string& path, const std::string& text, int ms) {
    return Eventually(ms, [&] { return ReadFile(path).find(text) != std::string::npos; });
}

// Runs the monitor to its end; its exit status, stdout lines and the text of stderr.
inline int RunToEnd(const std::vector<std::string>& args, std::vector<std::string>& out, std::string& err,
                    const std::string& name = "cli") {
    const std::string errPath = TempPath(name + ".err");
    std::mutex m;
    int rc;
    {
        Child mon(MonitorArgv(args), errPath);
        mon.Read([&](const std::string& l) {
            std::lock_guard<std::mutex> g(m);
            out.push_back(l);
        });
        rc = mon.Wait();
    }
    err = ReadFile(errPath);
    return rc;
}

}  // namespace camtest

#endif  // TESTS_INTEGRATION_CAMSIM_MONITORPROCESS_H
