// The built camdet-monitor as a child process whose stdout (the --json status
// lines) feeds a StatusLog. Needs CAMDET_MONITOR, the monitor's path.
#ifndef TESTS_INTEGRATION_CAMSIM_MONITORPROCESS_H
#define TESTS_INTEGRATION_CAMSIM_MONITORPROCESS_H

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/integration/camsim/statuslog.h"

namespace camtest {

class MonitorProcess {
public:
    explicit MonitorProcess(const std::vector<std::string>& args) {
        int fds[2];
        if (pipe(fds) != 0) return;
        m_Pid = fork();
        if (m_Pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive a killed test
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
    // SIGTERM and the exit status (-1 when it did not exit normally).
    int Terminate() {
        if (m_Pid <= 0) return -1;
        kill(m_Pid, SIGTERM);
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
