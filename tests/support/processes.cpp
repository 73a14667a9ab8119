// Child processes for tests: start one, wait for its end, or run one to its end and
// collect its output.
#include "qxtest.h"

#include <stdio.h>
#include <string.h>

namespace qxt
{

bool startProcess(const std::string &cmdline, Child *child, const char *dir, int show)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (show >= 0) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = (WORD)show;
    }
    std::vector<char> cmd(cmdline.begin(), cmdline.end());
    cmd.push_back('\0');
    if (!CreateProcessA(NULL, cmd.data(), NULL, NULL, FALSE, 0, NULL, dir, &si, &pi)) {
        // A start that fails only now and then is the bench's to explain: say why.
        fprintf(stderr, "startProcess: %s: error %lu\n", cmdline.c_str(), GetLastError());
        return false;
    }
    CloseHandle(pi.hThread);
    child->process = pi.hProcess;
    child->pid = pi.dwProcessId;
    return true;
}

int waitProcess(Child *child, DWORD ms)
{
    if (!child->process)
        return -1;
    int rc = -1;
    if (WaitForSingleObject(child->process, ms) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(child->process, &code);
        rc = (int)code;
    } else {
        TerminateProcess(child->process, 1);
        WaitForSingleObject(child->process, 2000);
    }
    CloseHandle(child->process);
    child->process = NULL;
    return rc;
}

int runProgram(const std::string &cmdline, std::string *output, DWORD ms)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
    HANDLE rd = NULL, wr = NULL;
    if (!CreatePipe(&rd, &wr, &sa, 0))
        return -1;
    SetHandleInformation(rd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = wr;
    si.hStdError = wr;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::vector<char> cmd(cmdline.begin(), cmdline.end());
    cmd.push_back('\0');
    BOOL ok = CreateProcessA(NULL, cmd.data(), NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi);
    DWORD error = ok ? 0 : GetLastError(); // before CloseHandle can change it
    CloseHandle(wr);
    if (!ok) {
        fprintf(stderr, "runProgram: %s: error %lu\n", cmdline.c_str(), error);
        CloseHandle(rd);
        return -1;
    }
    CloseHandle(pi.hThread);
    std::string out;
    char buf[4096];
    DWORD got;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD avail = 0;
        if (!PeekNamedPipe(rd, NULL, 0, NULL, &avail, NULL))
            break; // the child closed its end
        if (avail > 0) {
            if (!ReadFile(rd, buf, sizeof buf, &got, NULL) || got == 0)
                break;
            out.append(buf, got);
            continue;
        }
        if (WaitForSingleObject(pi.hProcess, 5) == WAIT_OBJECT_0) {
            // Drain what is left.
            while (PeekNamedPipe(rd, NULL, 0, NULL, &avail, NULL) && avail > 0 &&
                   ReadFile(rd, buf, sizeof buf, &got, NULL) && got > 0)
                out.append(buf, got);
            break;
        }
        if (GetTickCount() - start > ms)
            break;
    }
    CloseHandle(rd);
    Child c;
    c.process = pi.hProcess;
    c.pid = pi.dwProcessId;
    DWORD spent = GetTickCount() - start;
    int rc = waitProcess(&c, spent < ms ? ms - spent : 0);
    if (output)
        *output = out;
    return rc;
}

} // namespace qxt
