// The built camdet-monitor as a child process whose stdout (the --json status
// lines) feeds a StatusLog. Needs CAMDET_MONITOR, the monitor's path.
#ifndef TESTS_INTEGRATION_CAMSIM_MONITORPROCESS_H
#define TESTS_INTEGRATION_CAMSIM_MONITORPROCESS_H

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/integration/camsim/statuslog.h"

namespace camtest {

class MonitorProcess {
public:
    // errPath: a file its stderr goes to ("": the test's own, or errFd when that is >= 0).
    explicit MonitorProcess(const std::vector<std::string>& args, const std::string& errPath = std::string(),
                            int errFd = -1) {
        int fds[2];
        if (pipe(fds) != 0) return;
        m_Pid = fork();
        if (m_Pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive a killed test
            if (!errPath.empty()) {
                FILE* err = fopen(errPath.c_str(), "w");
                if (err) dup2(fileno(err), 2);
            } else if (errFd >= 0) {
                dup2(errFd, 2);
            }
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> argv{const_cast<char*>(CAMDET_MONITOR)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(CAMDET_MONITOR, argv.data());
            _exit(127);
        }
        close(fds[1]);
        if (m_Pid < 0) {
            close(fds[0]);
            return;
        }
        m_Log.reset(new StatusLog(fds[0]));
    }
    ~MonitorProcess() {
        if (m_Pid > 0 && !m_Reaped) {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, nullptr, 0);
        }
    }
    MonitorProcess(const MonitorProcess&) = delete;
    MonitorProcess& operator=(const MonitorProcess&) = delete;

    // Only valid when Running().
    StatusLog& Log() { return *m_Log; }
    bool Running() const { return m_Pid > 0; }
    pid_t Pid() const { return m_Pid; }
    // Its resident memory (KiB), -1 when it cannot be read.
    long RssKiB() const {
        std::ifstream in("/proc/" + std::to_string(m_Pid) + "/status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.compare(0, 6, "VmRSS:") == 0) return atol(line.c_str() + 6);
        }
        return -1;
    }
    // SIGTERM and the exit status (-1 when it did not exit normally).
    int Terminate() { return Signal(SIGTERM); }
    // Sends sig, waits for the exit; its status (-1 when it did not exit normally).
    int Signal(int sig) {
        if (m_Pid <= 0) return -1;
        kill(m_Pid, sig);
        int st = 0;
        waitpid(m_Pid, &st, 0);
        m_Reaped = true;
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }

private:
    pid_t m_Pid = -1;
    bool m_Reaped = false;
    std::unique_ptr<StatusLog> m_Log;
};

}  // namespace camtest

#endif  // TESTS_INTEGRATION_CAMSIM_MONITORPROCESS_H
