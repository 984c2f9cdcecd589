// Identifiers shared by the resource script and the program.
#pragma once

// Port menu and window switches
#define IDM_CLOSE 200
#define IDM_SHOWCRLF 202
#define IDM_TILE 203
#define IDM_CASCADE 204
#define IDM_ARRANGE 205
#define IDM_CLOSEALL 206
#define IDM_ABOUT 207
#define IDM_LINESETTINGS 208
#define IDM_TIMEOUTS 209
#define IDM_EVENTS 210
#define IDM_MISCSETTINGS 211
#define IDM_SAVETODISK 212
#define IDM_SENDTESTDATA 213
#define IDM_PORTSETTINGS 214
#define IDM_QSIZES 215
#define IDM_CLEARSCREEN 216
#define IDM_SETXOFF 217
#define IDM_SETXON 218
#define IDM_TXABORT 219
#define IDM_TXCLEAR 220
#define IDM_RXABORT 221
#define IDM_RXCLEAR 222
#define IDM_SETBREAK 223
#define IDM_CLRBREAK 224
#define IDM_CHECKTESTDATA 225
#define IDM_STATISTICS 226
#define IDM_REOPENLOST 227
#define IDM_PORTS 228
#define IDM_LOGTOFILE 229
#define IDM_TIMESTAMPS 230
#define IDM_HEXDUMP 231

// Edit menu: the active terminal's history
#define IDM_COPY 232
#define IDM_SELECTALL 233
#define IDM_FIND 234
#define IDM_FINDNEXT 235

// Port menu: sending what the user gives
#define IDM_SENDTEXT 236
#define IDM_SENDFILE 237
#define IDM_HELP 667

// The Open Port popup: COM n is 499 + n; the range ends at 649.
#define IDM_FIRSTPORT 500
#define IDM_LASTPORT 649
#define IDM_FIRSTCHILD 100  // the MDI client's window list

// Port name dialog
#define IDC_PORTNAME 370

// Find dialog
#define IDC_FINDTEXT 430
#define IDC_MATCHCASE 431
#define IDC_FINDUP 432
#define IDC_FINDNEXT 433

// Send Text dialog
#define IDC_SENDTEXT 440
#define IDC_SENDEND 441
#define IDC_SENDREPEAT 442
#define IDC_SENDNOW 443
#define IDC_SENDSTOP 444

// Sending (a file) dialog
#define IDC_SENDPROGRESS 450
#define IDC_SENDSTATUS 451
#define IDC_SENDCANCEL 452
#define IDC_SENDDELAY 453
#define IDC_SENDPERLINE 454
#define IDC_SENDBLOCK 455

// Built-in user guide, shown when the help file is not there
#define IDC_GUIDETEXT 380
#define IDR_GUIDE 381
