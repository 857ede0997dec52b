/* Resource ids of npTARVX.dll, shared by the resource script and the code that loads them. */
#ifndef NPTARVX_RES_RESOURCEIDS_H
#define NPTARVX_RES_RESOURCEIDS_H

/* Status pictures: the reader is not listened to / is listened to. */
#define STATUS_BITMAP_IDLE 102
#define STATUS_BITMAP_LISTENING 141

#endif
