// Probe: how does Wine's serial layer behave on a pty-backed COM port?
// Prints one "key: value" line per observation so a shell script can grep it.
//
//   probe.exe all NEAR FAR SYNCDIR   full serial walk-through (see run.sh)
//   probe.exe open PORT              just try to open PORT, print the error
//   probe.exe msgbox                 MessageBox + watcher-thread round trip
//
// SYNCDIR is a Windows path (e.g. Z:\tmp\x). At "SYNC name" the probe waits
// for SYNCDIR\name.done, so the shell can act on the far pty in between.
#include <windows.h>
#include <stdio.h>
#include <string.h>

static const char *g_syncdir = NULL;
static const char *g_close_how = "post";

static double now_ms() {
    static LARGE_INTEGER f;
    LARGE_INTEGER c;
    if (!f.QuadPart) QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return c.QuadPart * 1000.0 / f.QuadPart;
}

static void sync_point(const char *name) {
    if (!g_syncdir) return;
    printf("SYNC %s\n", name);
    fflush(stdout);
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\%s.done", g_syncdir, name);
    for (int i = 0; i < 1000; i++) {  // 10 s, then carry on and let checks fail
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return;
        Sleep(10);
    }
    printf("sync_timeout: %s\n", name);
}

static void report(const char *what, BOOL ok) {
    DWORD e = ok ? 0 : GetLastError();
    printf("%s: ret=%d err=%lu\n", what, ok ? 1 : 0, (unsigned long)e);
}

static HANDLE open_port(const char *name, DWORD flags) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                       flags | FILE_ATTRIBUTE_NORMAL, NULL);
}

static void print_dcb(const char *tag, HANDLE h) {
    DCB d;
    memset(&d, 0, sizeof d);
    d.DCBlength = sizeof d;
    BOOL ok = GetCommState(h, &d);
    report(tag, ok);
    printf("%s.dcb: Baud=%lu ByteSize=%u Parity=%u StopBits=%u fBinary=%u fParity=%u "
           "fOutxCtsFlow=%u fOutxDsrFlow=%u fDtrControl=%u fDsrSensitivity=%u "
           "fTXContinueOnXoff=%u fOutX=%u fInX=%u fErrorChar=%u fNull=%u fRtsControl=%u "
           "fAbortOnError=%u XonLim=%u XoffLim=%u XonChar=%d XoffChar=%d EofChar=%d EvtChar=%d\n",
           tag, (unsigned long)d.BaudRate, d.ByteSize, d.Parity, d.StopBits, d.fBinary,
           d.fParity, d.fOutxCtsFlow, d.fOutxDsrFlow, d.fDtrControl, d.fDsrSensitivity,
           d.fTXContinueOnXoff, d.fOutX, d.fInX, d.fErrorChar, d.fNull, d.fRtsControl,
           d.fAbortOnError, d.XonLim, d.XoffLim, d.XonChar, d.XoffChar, d.EofChar, d.EvtChar);
}

static void print_props(const char *tag, HANDLE h) {
    COMMPROP p;
    memset(&p, 0, sizeof p);
    BOOL ok = GetCommProperties(h, &p);
    report(tag, ok);
    printf("%s.props: CurrentRxQueue=%lu CurrentTxQueue=%lu MaxRxQueue=%lu MaxTxQueue=%lu "
           "MaxBaud=0x%lx ProvSubType=0x%lx SettableBaud=0x%lx ProvCapabilities=0x%lx\n",
           tag, (unsigned long)p.dwCurrentRxQueue, (unsigned long)p.dwCurrentTxQueue,
           (unsigned long)p.dwMaxRxQueue, (unsigned long)p.dwMaxTxQueue,
           (unsigned long)p.dwMaxBaud, (unsigned long)p.dwProvSubType,
           (unsigned long)p.dwSettableBaud, (unsigned long)p.dwProvCapabilities);
}

static DWORD in_queue(HANDLE h, const char *tag) {
    DWORD errs = 0;
    COMSTAT cs;
    memset(&cs, 0, sizeof cs);
    BOOL ok = ClearCommError(h, &errs, &cs);
    report(tag, ok);
    printf("%s.stat: errors=0x%lx cbInQue=%lu cbOutQue=%lu\n", tag, (unsigned long)errs,
           (unsigned long)cs.cbInQue, (unsigned long)cs.cbOutQue);
    return cs.cbInQue;
}

// Waits for an overlapped op; prints whether it had to wait and the outcome.
static DWORD finish(const char *tag, HANDLE h, OVERLAPPED *ov, BOOL started, DWORD ms) {
    DWORD err = started ? 0 : GetLastError();
    printf("%s.start: ret=%d err=%lu\n", tag, started ? 1 : 0, (unsigned long)err);
    if (!started && err != ERROR_IO_PENDING) return 0;
    double t0 = now_ms();
    DWORD w = WaitForSingleObject(ov->hEvent, ms);
    DWORD n = 0;
    BOOL ok = GetOverlappedResult(h, ov, &n, FALSE);
    DWORD e2 = ok ? 0 : GetLastError();
    printf("%s.done: wait=%lu ok=%d err=%lu bytes=%lu after_ms=%.0f\n", tag, (unsigned long)w,
           ok ? 1 : 0, (unsigned long)e2, (unsigned long)n, now_ms() - t0);
    return n;
}

static int run_all(const char *near_name, const char *far_name) {
    (void)far_name;
    double t0 = now_ms();
    HANDLE h = open_port(near_name, FILE_FLAG_OVERLAPPED);
    printf("open1: ok=%d err=%lu ms=%.1f\n", h != INVALID_HANDLE_VALUE,
           (unsigned long)(h == INVALID_HANDLE_VALUE ? GetLastError() : 0), now_ms() - t0);
    if (h == INVALID_HANDLE_VALUE) return 1;

    HANDLE h2 = open_port(near_name, FILE_FLAG_OVERLAPPED);
    printf("open2_same_port: ok=%d err=%lu\n", h2 != INVALID_HANDLE_VALUE,
           (unsigned long)(h2 == INVALID_HANDLE_VALUE ? GetLastError() : 0));
    if (h2 != INVALID_HANDLE_VALUE) CloseHandle(h2);

    HANDLE h9 = open_port("\\\\.\\COM9", FILE_FLAG_OVERLAPPED);
    printf("open_unmapped_com9: ok=%d err=%lu\n", h9 != INVALID_HANDLE_VALUE,
           (unsigned long)(h9 == INVALID_HANDLE_VALUE ? GetLastError() : 0));
    if (h9 != INVALID_HANDLE_VALUE) CloseHandle(h9);

    OVERLAPPED ov;
    memset(&ov, 0, sizeof ov);
    ov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    DWORD n = 0;
    BOOL ok = DeviceIoControl(h, 0x001B2018, NULL, 0, NULL, 0, &n, &ov);
    report("ioctl_1B2018_overlapped", ok);
    ResetEvent(ov.hEvent);
    ok = DeviceIoControl(h, 0x001B2018, NULL, 0, NULL, 0, &n, NULL);
    report("ioctl_1B2018_no_overlapped", ok);

    DWORD ms = 0;
    ok = GetCommModemStatus(h, &ms);
    report("GetCommModemStatus", ok);
    printf("modem_status: 0x%lx\n", (unsigned long)ms);

    print_dcb("GetCommState", h);

    COMMTIMEOUTS to;
    memset(&to, 0, sizeof to);
    ok = GetCommTimeouts(h, &to);
    report("GetCommTimeouts", ok);
    printf("timeouts: RI=%lu RTM=%lu RTC=%lu WTM=%lu WTC=%lu\n",
           (unsigned long)to.ReadIntervalTimeout, (unsigned long)to.ReadTotalTimeoutMultiplier,
           (unsigned long)to.ReadTotalTimeoutConstant,
           (unsigned long)to.WriteTotalTimeoutMultiplier,
           (unsigned long)to.WriteTotalTimeoutConstant);

    print_props("GetCommProperties", h);
    report("SetupComm_4096", SetupComm(h, 4096, 4096));
    print_props("GetCommProperties_after_setup", h);

    DCB d;
    memset(&d, 0, sizeof d);
    d.DCBlength = sizeof d;
    GetCommState(h, &d);
    DCB good = d;
    d.BaudRate = 19200;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = TWOSTOPBITS;
    report("SetCommState_19200_8N2", SetCommState(h, &d));
    print_dcb("GetCommState_after_19200", h);
    sync_point("stty");

    d = good;
    d.ByteSize = 9;
    report("SetCommState_bytesize9", SetCommState(h, &d));
    print_dcb("GetCommState_after_bytesize9", h);
    report("SetCommState_restore", SetCommState(h, &good));

    report("Escape_SETRTS", EscapeCommFunction(h, SETRTS));
    report("Escape_CLRRTS", EscapeCommFunction(h, CLRRTS));
    report("Escape_SETDTR", EscapeCommFunction(h, SETDTR));
    report("Escape_CLRDTR", EscapeCommFunction(h, CLRDTR));
    report("Escape_SETXOFF", EscapeCommFunction(h, SETXOFF));
    report("Escape_SETXON", EscapeCommFunction(h, SETXON));

    // Receive path: wait for EV_RXCHAR, then read exactly what is queued.
    report("SetCommMask_RXCHAR", SetCommMask(h, EV_RXCHAR));
    {
        DWORD m2 = 0;
        ResetEvent(ov.hEvent);
        BOOL r = WaitCommEvent(h, &m2, &ov);
        DWORD e = r ? 0 : GetLastError();
        double t = now_ms();
        DWORD w = WaitForSingleObject(ov.hEvent, 2000);
        BOOL r2 = GetOverlappedResult(h, &ov, &n, FALSE);
        DWORD e2 = r2 ? 0 : GetLastError();
        printf("WaitCommEvent_idle: start_ret=%d start_err=%lu wait=%lu ok=%d err=%lu "
               "mask=0x%lx ms=%.0f\n", r ? 1 : 0, (unsigned long)e, (unsigned long)w,
               r2 ? 1 : 0, (unsigned long)e2, (unsigned long)m2, now_ms() - t);
    }
    DWORD mask = 0;
    ResetEvent(ov.hEvent);
    ok = WaitCommEvent(h, &mask, &ov);
    DWORD wce = ok ? 0 : GetLastError();
    printf("WaitCommEvent.start: ret=%d err=%lu\n", ok ? 1 : 0, (unsigned long)wce);
    double tw = now_ms();
    sync_point("farwrite10");
    if (!ok && wce == ERROR_IO_PENDING) {
        DWORD w = WaitForSingleObject(ov.hEvent, 3000);
        BOOL r = GetOverlappedResult(h, &ov, &n, FALSE);
        DWORD e = r ? 0 : GetLastError();
        printf("WaitCommEvent.done: wait=%lu ok=%d err=%lu status=0x%lx mask=0x%lx "
               "ms_since_start=%.0f\n", (unsigned long)w, r ? 1 : 0, (unsigned long)e,
               (unsigned long)ov.Internal, (unsigned long)mask, now_ms() - tw);
    } else {
        printf("WaitCommEvent.immediate: mask=0x%lx\n", (unsigned long)mask);
    }
    Sleep(50);  // let the remaining bytes land so cbInQue is the whole burst
    {
        DWORD m2 = 0;
        ResetEvent(ov.hEvent);
        BOOL r = WaitCommEvent(h, &m2, &ov);
        DWORD e = r ? 0 : GetLastError();
        double t = now_ms();
        DWORD w = WaitForSingleObject(ov.hEvent, 2000);
        BOOL r2 = GetOverlappedResult(h, &ov, &n, FALSE);
        DWORD e2 = r2 ? 0 : GetLastError();
        printf("WaitCommEvent_data_queued: start_ret=%d start_err=%lu wait=%lu ok=%d err=%lu "
               "mask=0x%lx ms=%.0f\n", r ? 1 : 0, (unsigned long)e, (unsigned long)w,
               r2 ? 1 : 0, (unsigned long)e2, (unsigned long)m2, now_ms() - t);
    }
    DWORD q = in_queue(h, "ClearCommError_after_10");
    char buf[2048];
    memset(buf, 0, sizeof buf);
    ResetEvent(ov.hEvent);
    ok = ReadFile(h, buf, q, NULL, &ov);
    n = finish("ReadFile_cbInQue", h, &ov, ok, 2000);
    printf("ReadFile_cbInQue.data: [%.*s]\n", (int)n, buf);

    // Purge drops what the far end queued.
    sync_point("farwrite10b");
    Sleep(50);
    in_queue(h, "ClearCommError_before_purge");
    report("PurgeComm_all",
           PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT));
    in_queue(h, "ClearCommError_after_purge");

    // A read with nothing to receive must be cancellable.
    ResetEvent(ov.hEvent);
    ok = ReadFile(h, buf, 16, NULL, &ov);
    DWORD re = ok ? 0 : GetLastError();
    printf("ReadFile_idle.start: ret=%d err=%lu\n", ok ? 1 : 0, (unsigned long)re);
    Sleep(100);
    report("CancelIoEx", CancelIoEx(h, &ov));
    ok = GetOverlappedResult(h, &ov, &n, TRUE);
    report("ReadFile_idle.result_after_cancel", ok);

    // Which read timeouts does Wine honour on a pty? Idle line, 1.5 s cap.
    static const struct { const char *name; COMMTIMEOUTS t; } cfg[] = {
        {"any_or_500", {MAXDWORD, MAXDWORD, 500, 0, 0}},
        {"total_500", {0, 0, 500, 0, 0}},
        {"immediate", {MAXDWORD, 0, 0, 0, 0}},
    };
    for (const auto &c : cfg) {
        COMMTIMEOUTS t = c.t;
        char tag[64];
        snprintf(tag, sizeof tag, "ReadFile_timeouts_%s_idle", c.name);
        report(tag, SetCommTimeouts(h, &t));
        ResetEvent(ov.hEvent);
        ok = ReadFile(h, buf, 64, NULL, &ov);
        finish(tag, h, &ov, ok, 1500);
        if (!HasOverlappedIoCompleted(&ov)) {
            CancelIoEx(h, &ov);
            GetOverlappedResult(h, &ov, &n, TRUE);
            printf("%s: still pending, cancelled\n", tag);
        }
    }
    // Same reads while the shell writes "abc" ~200 ms in.
    static const struct { const char *name; COMMTIMEOUTS t; } dcfg[] = {
        {"any_or_500", {MAXDWORD, MAXDWORD, 500, 0, 0}},
        {"total_500", {0, 0, 500, 0, 0}},
        {"interval_20_total_2000", {20, 0, 2000, 0, 0}},
    };
    for (const auto &c : dcfg) {
        COMMTIMEOUTS t = c.t;
        char tag[64], syncname[64];
        snprintf(tag, sizeof tag, "ReadFile_timeouts_%s_data", c.name);
        snprintf(syncname, sizeof syncname, "farwrite_abc_%s", c.name);
        SetCommTimeouts(h, &t);
        memset(buf, 0, 64);
        ResetEvent(ov.hEvent);
        double tr = now_ms();
        ok = ReadFile(h, buf, 64, NULL, &ov);
        DWORD e0 = GetLastError();
        sync_point(syncname);
        SetLastError(e0);  // sync_point clobbers it
        n = finish(tag, h, &ov, ok, 3000);
        printf("%s.data: [%.*s] ms_since_read=%.0f\n", tag, (int)n, buf, now_ms() - tr);
        if (!HasOverlappedIoCompleted(&ov)) {
            CancelIoEx(h, &ov);
            GetOverlappedResult(h, &ov, &n, TRUE);
            printf("%s: still pending, cancelled\n", tag);
        }
        PurgeComm(h, PURGE_RXCLEAR);
    }
    COMMTIMEOUTS zero = {0, 0, 0, 0, 0};
    SetCommTimeouts(h, &zero);

    // Transmit path: 1155 bytes, the far end reads them in the shell.
    sync_point("farread");
    static char out[1155];
    for (int i = 0; i < (int)sizeof out; i++) out[i] = 'A' + i % 26;
    ResetEvent(ov.hEvent);
    ok = WriteFile(h, out, sizeof out, NULL, &ov);
    finish("WriteFile_1155", h, &ov, ok, 5000);
    sync_point("farread_done");

    CloseHandle(h);
    HANDLE h3 = open_port(near_name, FILE_FLAG_OVERLAPPED);
    printf("reopen_after_close: ok=%d\n", h3 != INVALID_HANDLE_VALUE);
    if (h3 != INVALID_HANDLE_VALUE) CloseHandle(h3);
    CloseHandle(ov.hEvent);
    return 0;
}

// ---- MessageBox watcher -------------------------------------------------
// Tests need to read and dismiss message boxes that the program under test
// shows. This finds a dialog owned by our own process, copies its text and
// presses OK. Reusable: start it on a thread before the box appears.
struct BoxWatch {
    DWORD timeout_ms;
    char text[512];
    char caption[256];
    double found_after_ms;
    double posted_at;
    int found;
};

static BOOL CALLBACK find_own_dialog(HWND w, LPARAM lp) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[32];
    if (pid == GetCurrentProcessId() && IsWindowVisible(w) &&
        GetClassNameA(w, cls, sizeof cls) && strcmp(cls, "#32770") == 0) {
        *(HWND *)lp = w;
        return FALSE;
    }
    return TRUE;
}

static DWORD WINAPI box_watcher(LPVOID arg) {
    BoxWatch *bw = (BoxWatch *)arg;
    double t0 = now_ms();
    while (now_ms() - t0 < bw->timeout_ms) {
        HWND box = NULL;
        EnumWindows(find_own_dialog, (LPARAM)&box);
        // The static text (id 0xFFFF) is filled in after the window exists.
        if (box && GetDlgItemTextA(box, 0xFFFF, bw->text, sizeof bw->text) > 0) {
            GetWindowTextA(box, bw->caption, sizeof bw->caption);
            bw->found_after_ms = now_ms() - t0;
            bw->found = 1;
            bw->posted_at = now_ms();
            if (!strcmp(g_close_how, "send"))
                SendMessageA(box, WM_COMMAND, IDOK, 0);
            else if (!strcmp(g_close_how, "click"))
                PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            else if (!strcmp(g_close_how, "postnull")) {
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                PostMessageA(box, WM_NULL, 0, 0);
            } else
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(20);
    }
    return 1;
}

static int msgbox_once() {
    static const char *text = "Port COM5 is busy.\nSecond line: 42";
    BoxWatch bw;
    memset(&bw, 0, sizeof bw);
    bw.timeout_ms = 10000;
    HWND fw = FindWindowA("#32770", NULL);
    printf("msgbox.preexisting_dialog: %d\n", fw != NULL);
    HANDLE t = CreateThread(NULL, 0, box_watcher, &bw, 0, NULL);
    double t0 = now_ms();
    int r = MessageBoxA(NULL, text, "Plix32 probe", MB_OK | MB_ICONWARNING);
    double shown = now_ms() - t0;
    double t_ret = now_ms();
    WaitForSingleObject(t, 5000);
    CloseHandle(t);
    printf("msgbox.ret: %d (IDOK=%d) total_ms=%.0f\n", r, IDOK, shown);
    printf("msgbox.found: %d after_ms=%.0f closed_after_post_ms=%.0f\n", bw.found,
           bw.found_after_ms, t_ret - bw.posted_at);
    printf("msgbox.caption: [%s]\n", bw.caption);
    printf("msgbox.text_equal: %d\n", strcmp(bw.text, text) == 0);
    printf("msgbox.text: [%s]\n", bw.text);
    return (r == IDOK && bw.found && strcmp(bw.text, text) == 0) ? 0 : 1;
}

int main(int argc, char **argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    const char *mode = argc > 1 ? argv[1] : "all";
    if (!strcmp(mode, "open") && argc > 2) {
        HANDLE h = open_port(argv[2], FILE_FLAG_OVERLAPPED);
        printf("open %s: ok=%d err=%lu\n", argv[2], h != INVALID_HANDLE_VALUE,
               (unsigned long)(h == INVALID_HANDLE_VALUE ? GetLastError() : 0));
        if (h == INVALID_HANDLE_VALUE) return 1;
        CloseHandle(h);
        return 0;
    }
    if (!strcmp(mode, "msgbox")) {
        if (argc > 2) g_close_how = argv[2];
        // Twice: the first box in a process also pays for window-system setup.
        int r = msgbox_once();
        return msgbox_once() | r;
    }
    if (!strcmp(mode, "all") && argc > 3) {
        if (argc > 4) g_syncdir = argv[4];
        return run_all(argv[2], argv[3]);
    }
    if (!strcmp(mode, "noop")) return 0;
    fprintf(stderr, "usage: probe all NEAR FAR [SYNCDIR] | open PORT | msgbox | noop\n");
    return 2;
}
