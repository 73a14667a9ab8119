// The simulated card for the capture tests: control commands and the request log through
// its client, and capture device entries written into the video input category.
#include "sim_fixture.h"

#include <gtest/gtest.h>
#include <process.h>

#include "card_client.h"
#include "log_format.h"
#include "qxtest.h"

namespace simcard
{

namespace
{

const char Category[] = "CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance";
const char FilterClsid[] = "{8A3F4C21-2388-4D11-B7A0-51AC0CA2D001}";

HANDLE card()
{
    static HANDLE h = INVALID_HANDLE_VALUE;
    if (h == INVALID_HANDLE_VALUE)
        h = simcard_open();
    return h;
}

} // namespace

void command(unsigned int cmd, unsigned int a0, unsigned int a1, unsigned int a2, unsigned int a3)
{
    ASSERT_NE(card(), INVALID_HANDLE_VALUE) << "the simulated card is not installed";
    EXPECT_EQ(simcard_command(card(), cmd, a0, a1, a2, a3), 0u) << "command " << cmd;
}

void reset()
{
    command(SIM_CMD_RESET);
}

std::vector<SimLogEntry> log()
{
    std::vector<SimLogEntry> entries(SIM_LOG_CAPACITY);
    SimLogHeader header = {0, 0};
    EXPECT_EQ(simcard_log(card(), &header, entries.data(), SIM_LOG_CAPACITY), 0u);
    entries.resize(header.count);
    return entries;
}

std::vector<std::string> logLines()
{
    std::vector<std::string> lines;
    for (const SimLogEntry &e : log()) {
        char line[160];
        simcard_format_entry(&e, line, sizeof line);
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> logOps()
{
    std::vector<std::string> ops;
    for (const SimLogEntry &e : log())
        ops.push_back(e.op < SIM_OP_COUNT ? simcard_op_name(e.op) : "?");
    return ops;
}

void addDevice(const char *key, const char *friendlyName, const char *variant)
{
    std::string path = std::string(Category) + "\\" + key;
    ASSERT_TRUE(qxt::regSetString(HKEY_CLASSES_ROOT, path.c_str(), "FriendlyName", friendlyName));
    ASSERT_TRUE(qxt::regSetString(HKEY_CLASSES_ROOT, path.c_str(), "CLSID", FilterClsid));
    if (*variant) {
        ASSERT_TRUE(qxt::regSetString(HKEY_CLASSES_ROOT, path.c_str(), "SimVariant", variant));
    }
}

void clearDevices()
{
    qxt::regDeleteTree(HKEY_CLASSES_ROOT, Category);
}

void restoreDevices()
{
    clearDevices();
    addDevice(FilterClsid, "Conexant 2388x Video Capture");
}

BoxWatcher::BoxWatcher(const char *caption, DWORD holdMs) : caption_(caption), holdMs_(holdMs)
{
    thread_ = (HANDLE)_beginthreadex(NULL, 0, run, this, 0, NULL);
}

BoxWatcher::~BoxWatcher()
{
    if (thread_) {
        WaitForSingleObject(thread_, 15000);
        CloseHandle(thread_);
    }
}

std::string BoxWatcher::text() const
{
    WaitForSingleObject(thread_, 15000);
    return text_;
}

int BoxWatcher::boxesSeen() const
{
    WaitForSingleObject(thread_, 15000);
    return most_;
}

static BOOL CALLBACK countBox(HWND w, LPARAM param)
{
    auto *seen = reinterpret_cast<std::pair<const std::string *, int> *>(param);
    char title[128];
    if (qxt::className(w) == "#32770" && IsWindowVisible(w) && GetWindowTextA(w, title, sizeof title) &&
        *seen->first == title)
        seen->second++;
    return TRUE;
}

unsigned __stdcall BoxWatcher::run(void *self)
{
    auto *me = static_cast<BoxWatcher *>(self);
    HWND box = qxt::waitForDialog(me->caption_.c_str(), 8000);
    if (!box)
        return 0;
    me->text_ = qxt::messageBoxText(box);
    // While the box stays open the poll keeps firing: no second box may appear.
    DWORD start = GetTickCount();
    do {
        std::pair<const std::string *, int> seen(&me->caption_, 0);
        EnumWindows(countBox, reinterpret_cast<LPARAM>(&seen));
        if (seen.second > me->most_)
            me->most_ = seen.second;
        Sleep(20);
    } while (GetTickCount() - start < me->holdMs_);
    qxt::pressButton(box, IDOK);
    qxt::waitForGone(box);
    return 0;
}

StrayBoxGuard::StrayBoxGuard(DWORD ms) : ms_(ms)
{
    stop_ = CreateEventA(NULL, TRUE, FALSE, NULL);
    thread_ = (HANDLE)_beginthreadex(NULL, 0, run, this, 0, NULL);
}

StrayBoxGuard::~StrayBoxGuard()
{
    closed();
    CloseHandle(stop_);
}

std::vector<std::string> StrayBoxGuard::closed()
{
    if (thread_) {
        SetEvent(stop_);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        thread_ = NULL;
    }
    return closed_;
}

namespace
{
struct OpenBoxes {
    std::vector<HWND> boxes;
    static BOOL CALLBACK add(HWND w, LPARAM self)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(w) && qxt::className(w) == "#32770")
            reinterpret_cast<OpenBoxes *>(self)->boxes.push_back(w);
        return TRUE;
    }
};
} // namespace

unsigned __stdcall StrayBoxGuard::run(void *self)
{
    auto *me = static_cast<StrayBoxGuard *>(self);
    std::vector<std::pair<HWND, DWORD>> seen; // box, first seen
    while (WaitForSingleObject(me->stop_, 100) == WAIT_TIMEOUT) {
        OpenBoxes open;
        EnumWindows(OpenBoxes::add, reinterpret_cast<LPARAM>(&open));
        for (HWND box : open.boxes) {
            auto it = seen.begin();
            while (it != seen.end() && it->first != box)
                ++it;
            if (it == seen.end()) {
                seen.push_back(std::make_pair(box, GetTickCount()));
            } else if (GetTickCount() - it->second > me->ms_) {
                me->closed_.push_back(qxt::windowText(box) + ": " + qxt::messageBoxText(box));
                qxt::pressButton(box, IDOK);
                it->second = GetTickCount(); // again later if it stays
            }
        }
    }
    return 0;
}

} // namespace simcard
