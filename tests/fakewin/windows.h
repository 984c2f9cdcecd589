// Native stand-in for the part of <windows.h> that Plix32 uses, so that the
// program's logic builds and runs on Linux over a scriptable fake (fake.h).
// Types have their Windows widths: DWORD and LONG are 32 bits on every host.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef void* HANDLE;

#define FAKE_DECLARE_HANDLE(name) \
  struct name##__ {               \
    int unused;                   \
  };                              \
  typedef struct name##__* name
FAKE_DECLARE_HANDLE(HWND);
FAKE_DECLARE_HANDLE(HINSTANCE);
FAKE_DECLARE_HANDLE(HMENU);
FAKE_DECLARE_HANDLE(HDC);
FAKE_DECLARE_HANDLE(HBRUSH);
FAKE_DECLARE_HANDLE(HPEN);
FAKE_DECLARE_HANDLE(HICON);
FAKE_DECLARE_HANDLE(HACCEL);
FAKE_DECLARE_HANDLE(HFONT);
typedef HICON HCURSOR;
typedef void* HGDIOBJ;
#undef FAKE_DECLARE_HANDLE

#define TRUE 1
#define FALSE 0

static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(WORD) == 2, "Windows widths");

// ---- errors, waits ----------------------------------------------------------
#define ERROR_SUCCESS 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_READY 21L
#define ERROR_BAD_COMMAND 22L
#define ERROR_GEN_FAILURE 31L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INVALID_NAME 123L
#define ERROR_OPERATION_ABORTED 995L
#define ERROR_IO_INCOMPLETE 996L
#define ERROR_IO_PENDING 997L
#define ERROR_NOT_FOUND 1168L
#define ERROR_TIMEOUT 1460L

#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_TIMEOUT 258L
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)

// ---- files and devices ------------------------------------------------------
#define GENERIC_READ 0x80000000
#define GENERIC_WRITE 0x40000000
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_OVERLAPPED 0x40000000
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

// ---- communications ---------------------------------------------------------
typedef struct _DCB {
  DWORD DCBlength;
  DWORD BaudRate;
  DWORD fBinary : 1;
  DWORD fParity : 1;
  DWORD fOutxCtsFlow : 1;
  DWORD fOutxDsrFlow : 1;
  DWORD fDtrControl : 2;
  DWORD fDsrSensitivity : 1;
  DWORD fTXContinueOnXoff : 1;
  DWORD fOutX : 1;
  DWORD fInX : 1;
  DWORD fErrorChar : 1;
  DWORD fNull : 1;
  DWORD fRtsControl : 2;
  DWORD fAbortOnError : 1;
  DWORD fDummy2 : 17;
  WORD wReserved;
  WORD XonLim;
  WORD XoffLim;
  BYTE ByteSize;
  BYTE Parity;
  BYTE StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  WORD wReserved1;
} DCB, *LPDCB;
static_assert(sizeof(DCB) == 28, "DCB has its Windows size");

typedef struct _COMSTAT {
  DWORD fCtsHold : 1;
  DWORD fDsrHold : 1;
  DWORD fRlsdHold : 1;
  DWORD fXoffHold : 1;
  DWORD fXoffSent : 1;
  DWORD fEof : 1;
  DWORD fTxim : 1;
  DWORD fReserved : 25;
  DWORD cbInQue;
  DWORD cbOutQue;
} COMSTAT, *LPCOMSTAT;

typedef struct _COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
} COMMTIMEOUTS, *LPCOMMTIMEOUTS;

typedef struct _COMMPROP {
  WORD wPacketLength;
  WORD wPacketVersion;
  DWORD dwServiceMask;
  DWORD dwReserved1;
  DWORD dwMaxTxQueue;
  DWORD dwMaxRxQueue;
  DWORD dwMaxBaud;
  DWORD dwProvSubType;
  DWORD dwProvCapabilities;
  DWORD dwSettableParams;
  DWORD dwSettableBaud;
  WORD wSettableData;
  WORD wSettableStopParity;
  DWORD dwCurrentTxQueue;
  DWORD dwCurrentRxQueue;
  DWORD dwProvSpec1;
  DWORD dwProvSpec2;
  char wcProvChar[2];  // WCHAR[1] on Windows
} COMMPROP, *LPCOMMPROP;

#define PURGE_TXABORT 0x0001
#define PURGE_RXABORT 0x0002
#define PURGE_TXCLEAR 0x0004
#define PURGE_RXCLEAR 0x0008

#define SETXOFF 1
#define SETXON 2
#define SETRTS 3
#define CLRRTS 4
#define SETDTR 5
#define CLRDTR 6
#define SETBREAK 8
#define CLRBREAK 9

#define MS_CTS_ON ((DWORD)0x0010)
#define MS_DSR_ON ((DWORD)0x0020)
#define MS_RING_ON ((DWORD)0x0040)
#define MS_RLSD_ON ((DWORD)0x0080)

#define CE_RXOVER 0x0001
#define CE_OVERRUN 0x0002
#define CE_RXPARITY 0x0004
#define CE_FRAME 0x0008
#define CE_BREAK 0x0010
#define CE_TXFULL 0x0100
#define CE_PTO 0x0200
#define CE_IOE 0x0400
#define CE_DNS 0x0800
#define CE_OOP 0x1000
#define CE_MODE 0x8000

#define EV_RXCHAR 0x0001
#define EV_RXFLAG 0x0002
#define EV_TXEMPTY 0x0004
#define EV_CTS 0x0008
#define EV_DSR 0x0010
#define EV_RLSD 0x0020
#define EV_BREAK 0x0040
#define EV_ERR 0x0080
#define EV_RING 0x0100
#define EV_PERR 0x0200
#define EV_RX80FULL 0x0400
#define EV_EVENT1 0x0800
#define EV_EVENT2 0x1000

#define NOPARITY 0
#define ODDPARITY 1
#define EVENPARITY 2
#define MARKPARITY 3
#define SPACEPARITY 4
#define ONESTOPBIT 0
#define ONE5STOPBITS 1
#define TWOSTOPBITS 2
#define DTR_CONTROL_DISABLE 0x00
#define DTR_CONTROL_ENABLE 0x01
#define DTR_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_DISABLE 0x00
#define RTS_CONTROL_ENABLE 0x01
#define RTS_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_TOGGLE 0x03

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

// ---- message boxes ----------------------------------------------------------
#define MB_OK 0x00000000L
#define MB_ICONQUESTION 0x00000020L
#define IDOK 1
#define IDCANCEL 2

// ---- functions (implemented by the fake in fakewin.cpp) ---------------------
DWORD GetLastError();
DWORD GetTickCount();

typedef struct _SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;
void GetLocalTime(LPSYSTEMTIME time);
void SetLastError(DWORD error);

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL CloseHandle(HANDLE handle);
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState,
                    LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL all, DWORD milliseconds);

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
               LPOVERLAPPED overlapped);
BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait);
BOOL CancelIoEx(HANDLE file, LPOVERLAPPED overlapped);
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                     DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);

BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT stat);
BOOL GetCommModemStatus(HANDLE file, LPDWORD status);
BOOL WaitCommEvent(HANDLE file, LPDWORD mask, LPOVERLAPPED overlapped);
BOOL SetCommMask(HANDLE file, DWORD mask);
BOOL GetCommState(HANDLE file, LPDCB dcb);
BOOL SetCommState(HANDLE file, LPDCB dcb);
BOOL GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);
BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);
BOOL GetCommProperties(HANDLE file, LPCOMMPROP properties);
BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue);
BOOL EscapeCommFunction(HANDLE file, DWORD function);
BOOL PurgeComm(HANDLE file, DWORD flags);

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- graphics (recorded by fakegdi.cpp) -------------------------------------
typedef DWORD COLORREF;
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))

typedef struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT, *LPRECT;

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define BLACK_BRUSH 4
#define WHITE_PEN 6
#define BLACK_PEN 7
#define ANSI_FIXED_FONT 11
#define SYSTEM_FONT 13
#define TRANSPARENT 1
#define OPAQUE 2
#define DT_CENTER 0x00000001
#define COLOR_WINDOW 5
#define COLOR_WINDOWTEXT 8
#define COLOR_APPWORKSPACE 12

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
#define ETO_OPAQUE 0x0002
#define DEFAULT_QUALITY 0
#define NONANTIALIASED_QUALITY 3
#define NULLREGION 1
#define SIMPLEREGION 2
#define GA_ROOT 2
#define LF_FACESIZE 32

typedef struct tagLOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
} LOGFONTA;

HGDIOBJ GetStockObject(int object);
int GetObjectA(HGDIOBJ object, int size, void* buffer);
HFONT CreateFontIndirectA(const LOGFONTA* font);
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT length, const int* dx);
typedef struct HRGN__* HRGN;
BOOL ScrollDC(HDC dc, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, LPRECT updateRect);
int GetClipBox(HDC dc, LPRECT rect);
typedef struct tagSIZE {
  LONG cx;
  LONG cy;
} SIZE;
// Every character is 8 pixels wide.
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size);
BOOL InvertRect(HDC dc, const RECT* rect);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
typedef struct tagSCROLLINFO {
  UINT cbSize;
  UINT fMask;
  int nMin;
  int nMax;
  UINT nPage;
  int nPos;
  int nTrackPos;
} SCROLLINFO;
#define SB_VERT 1
#define SIF_RANGE 0x1
#define SIF_PAGE 0x2
#define SIF_POS 0x4
int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw);
typedef struct tagSCROLLBARINFO {
  DWORD cbSize;
  RECT rcScrollBar;
  int dxyLineButton;
  int xyThumbTop;
  int xyThumbBottom;
  int reserved;
  DWORD rgstate[6];
} SCROLLBARINFO;
#define OBJID_VSCROLL ((LONG)0xFFFFFFFB)
// The thumb of the range last given, on a track of fake::kScrollTrack pixels (fakegdi.h).
BOOL GetScrollBarInfo(HWND window, LONG object, SCROLLBARINFO* info);
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
BOOL IsIconic(HWND window);
HWND GetAncestor(HWND window, UINT flags);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
HBRUSH CreateSolidBrush(COLORREF color);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
int DrawTextA(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
DWORD GetSysColor(int index);

// ---- windows (the few calls the logic makes) --------------------------------
HWND GetFocus();

// ---- dialogs (the fake dialog in fakedlg.cpp) --------------------------------
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)(((WORD)(l)) | ((DWORD)((WORD)(h))) << 16))
typedef ULONG_PTR DWORD_PTR;

#define MAXDWORD 0xffffffff

#define WM_DESTROY 0x0002
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_APP 0x8000

#define BN_CLICKED 0
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001

#define CB_OKAY 0
#define CB_ERR (-1)
#define CB_ADDSTRING 0x0143
#define CB_GETCURSEL 0x0147
#define CB_GETCOUNT 0x0146
#define CB_RESETCONTENT 0x014B
#define CB_SETCURSEL 0x014E

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

HWND GetDlgItem(HWND dialog, int control);
UINT GetDlgItemTextA(HWND dialog, int control, LPSTR text, int count);
BOOL SetDlgItemTextA(HWND dialog, int control, LPCSTR text);
LRESULT SendDlgItemMessageA(HWND dialog, int control, UINT message, WPARAM wParam, LPARAM lParam);
UINT IsDlgButtonChecked(HWND dialog, int control);
BOOL CheckDlgButton(HWND dialog, int control, UINT check);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL EndDialog(HWND dialog, INT_PTR result);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure);
BOOL KillTimer(HWND window, UINT_PTR id);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
