// Sharing modes of _fsopen.
#ifndef RKWIN_SHARE_H
#define RKWIN_SHARE_H

#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40
#define _SH_SECURE 0x80

#endif
