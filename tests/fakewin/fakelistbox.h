// USER32 list box messages and notifications, and WM_DEVICECHANGE, which
// the fake windows.h does not have yet (they belong there). Guarded, so that
// they may arrive there without a clash.
#pragma once
#include <windows.h>

#ifndef WM_DEVICECHANGE
#define WM_DEVICECHANGE 0x0219
#endif

#ifndef LB_ERR
#define LB_OKAY 0
#define LB_ERR (-1)
#define LB_ADDSTRING 0x0180
#define LB_RESETCONTENT 0x0184
#define LB_SETCURSEL 0x0186
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_GETTOPINDEX 0x018E
#define LB_SETTABSTOPS 0x0192
#define LB_SETTOPINDEX 0x0197
#endif

#ifndef LBN_DBLCLK
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2
#endif
