// Control ids of the six settings dialogs, shared by their templates
// (res/dialogs.rc) and their procedures. Ids are per dialog; the same number
// names different controls in different dialogs.
#pragma once

#define IDC_STATIC (-1)

// Port Settings (EASYDLGBOX) and Line Settings (SETTINGSDLGBOX)
#define IDC_BAUDRATE 301
#define IDC_DATABITS 305
#define IDC_PARITY 306
#define IDC_STOPBITS 307
#define IDC_FLOWCONTROL 354
#define IDC_PARITYENABLE 312
#define IDC_DTRCONTROL 308
#define IDC_RTSCONTROL 309
// The XON/XOFF box of "Rec. Flow Control" sets fOutX, the one of "Send Flow Control" fInX.
#define IDC_RECXONXOFF 310
#define IDC_SENDXONXOFF 311
#define IDC_CTSFLOW 298
#define IDC_DSRFLOW 299

// Time-outs (WINTIMEOUTS)
#define IDC_READINTERVAL 312
#define IDC_READMULTIPLIER 313
#define IDC_READCONSTANT 314
#define IDC_WRITEMULTIPLIER 315
#define IDC_WRITECONSTANT 316
#define IDC_CTSTIMEOUT 302
#define IDC_DSRTIMEOUT 303
#define IDC_RLSTIMEOUT 304

// Events (EVENTSDLGBOX)
#define IDC_EV_RXCHAR 317
#define IDC_EV_RXFLAG 318
#define IDC_EV_TXEMPTY 319
#define IDC_EV_CTS 320
#define IDC_EV_DSR 321
#define IDC_EV_RLSD 322
#define IDC_EV_BREAK 323
#define IDC_EV_ERR 324
#define IDC_EV_RING 325
#define IDC_EV_PERR 326
#define IDC_EV_CTSS 327
#define IDC_EV_DSRS 328
#define IDC_EV_RLSDS 329
#define IDC_EV_RINGTE 330
#define IDC_EV_RX80FULL 331
#define IDC_EV_EVENT1 332
#define IDC_EV_EVENT2 333
#define IDC_SENDCOUNT 334
#define IDC_ALLONOFF 335
#define IDC_RECCOUNT 336

// Misc Settings (MISCDLGBOX)
#define IDC_FNULL 337
#define IDC_XONCHAR 338
#define IDC_XOFFCHAR 339
#define IDC_XONLIM 340
#define IDC_XOFFLIM 341
#define IDC_EOFCHAR 342
#define IDC_EVTCHAR 343
#define IDC_DSRSENSITIVITY 344
#define IDC_TXCONTINUEONXOFF 345
#define IDC_ERRORCHARON 346
#define IDC_ABORTONERROR 347
#define IDC_ERRORCHAR 348
#define IDC_FBINARY 349
#define IDC_FPECHAR 350
#define IDC_FCHEVT 351
#define IDC_PECHAR 352
#define IDC_TXDELAY 353

// Queue sizes (QSIZESDLGBOX)
#define IDC_RXQUEUE 360
#define IDC_TXQUEUE 361

// Port statistics (STATSDLGBOX): each figure alone in its own static control
#define IDC_STAT_RECEIVED 401
#define IDC_STAT_SENT 402
#define IDC_STAT_CHECKED 403
#define IDC_STAT_GOOD 404
#define IDC_STAT_MISSING 405
#define IDC_STAT_CORRUPTED 406
#define IDC_STAT_EXTRA 407
#define IDC_STAT_LINEERRORS 408
#define IDC_STAT_HIGHESTQUEUE 409
#define IDC_STAT_RESET 410
#define IDC_STAT_RXRATE 411
#define IDC_STAT_TXRATE 412
#define IDC_STAT_QUEUESIZE 413
#define IDC_STAT_FAILEDREADS 414
#define IDC_STAT_FAILEDWRITES 415
#define IDC_STAT_UNCHECKED 416
#define IDC_STAT_RESYNCS 417
#define IDC_STAT_ERRORKINDS 418  // "FRAME 1  OVERRUN 2": the kinds seen, with their counts
#define IDC_STAT_EVENTKINDS 419
#define IDC_STAT_LOST 420  // locks given up on data no line explained
#define IDC_STAT_TIMESLOST 422  // the device went away
#define IDC_STAT_LOSTFOR 423    // seconds it was away, in all, the current period included

// Serial Ports (PORTSDLGBOX)
#define IDC_PORTLIST 420
#define IDC_PORTOPEN 421
