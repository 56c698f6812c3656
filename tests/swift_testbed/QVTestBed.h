/*
 * The test bed of the Swift tests: a build of the library with a few C calls added that
 * script what only tests reach (the simulated Bluetooth LE radio and its printers, the waits,
 * a network namespace with discovery responders, loopback TCP printers).
 *
 * The library keeps its internals hidden, so no separate library could reach the copy that
 * the Swift module calls. The bed therefore is a whole copy of the library, and takes its
 * place in the test program: its directory also holds it under the library's own name
 * (libquorvantelmise.so.1) and comes first on the library path when the tests run
 * (scripts/swift.sh), so the program loads one library, the bed, for both names.
 * QVTestBed_ServesTheProcess tells whether that worked.
 *
 * Everything here is process-wide. Printers are numbered from 1; a number that is no placed
 * printer makes the calls below do nothing and return 0.
 */
#ifndef QVTESTBED_H
#define QVTESTBED_H

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when the exported calls the process makes reach this bed's copy of the library; 0 when
 * another copy serves them (the bed's directory was not first on the library path). */
int QVTestBed_ServesTheProcess(void);

/* From the first Begin to the matching last End: the Bluetooth LE waits, the helper "second"
 * and the pause between discovery rounds are short, and the simulated radio is powered on.
 * Every other suite that runs meanwhile sees the shorter waits too. The last End removes the
 * printers still placed and restores what the first Begin found. */
void QVTestBed_Begin(void);
void QVTestBed_End(void);

/* The GATT profiles a simulated printer can speak. */
enum {
    QVTestBed_PlainProfile = 1,        /* one characteristic, written and notified */
    QVTestBed_GroupPacketProfile = 2,  /* numbered packets in groups, with a setup exchange */
    QVTestBed_CreditProfile = 3        /* one piece per credit the printer grants */
};

/* Places a printer of the profile on the radio (between Begin and End), advertising the name
 * (NULL: none) and the 6 address bytes, which open calls name as "AA:BB:CC:DD:EE:FF". The
 * central remembers every printer it saw for the whole process: give each test addresses of
 * its own. Returns the printer's number, or 0 for an unknown profile or outside Begin/End. */
int QVTestBed_AddPrinter(int profile, const char *name, const unsigned char *address);
/* Takes the printer out of range; its links drop. */
void QVTestBed_RemovePrinter(int printer);
int QVTestBed_IsConnected(int printer);
/* The data bytes the host wrote to the printer, in order: copies at most capacity of them
 * into buffer and returns how many there are. */
int QVTestBed_Received(int printer, unsigned char *buffer, int capacity);
/* Sends the bytes to the connected host as received data; 1 when they went out. */
int QVTestBed_Send(int printer, const unsigned char *bytes, int count);

/* Moves the calling thread (only) into a fresh network namespace holding only lo, with
 * 255.255.255.255 routed to it. Sockets and threads the thread makes afterwards live there.
 * Run it on a thread of the test's own that ends afterwards. 1 on success; 0 with the reason
 * (NUL-terminated, cut to capacity) when none can be made. */
int QVTestBed_EnterNetNamespace(char *reason, int capacity);
/* Inside such a namespace: answers both discovery queries on their shipped ports, the first
 * with mac_a and name_a, the second with mac_b (6 bytes each). 1 when both listen. */
int QVTestBed_StartDiscoveryResponders(const unsigned char *mac_a, const char *name_a,
                                       const unsigned char *mac_b);
void QVTestBed_StopDiscoveryResponders(void);

/* Loopback TCP printers (tests/support's LoopbackTcpPrinter, shared with the C++ suites): each
 * listens on 127.0.0.1 at an ephemeral port, records what each connection sends, answers
 * scripted replies at once and closes its side as soon as the client closes. They need no
 * Begin. The calls below act on the latest connection the printer accepted. */

/* Returns the printer's number, or 0 when it could not listen. */
int QVTestBed_StartTcpPrinter(void);
/* Ends the printer's thread and closes its connections. */
void QVTestBed_StopTcpPrinter(int printer);
int QVTestBed_TcpPrinterPort(int printer);
/* Whenever a connection's received bytes contain the trigger (searching on after the end of
 * its previous match), the reply goes out on that connection at once; with once, only the
 * first time. */
void QVTestBed_AddTcpReply(int printer, const unsigned char *trigger, int trigger_count,
                           const unsigned char *reply, int reply_count, int once);
/* Sends the bytes on the latest connection (unsolicited status frames, say). */
void QVTestBed_TcpSend(int printer, const unsigned char *bytes, int count);
/* The bytes the latest connection received: copies at most capacity of them into buffer and
 * returns how many there are. */
int QVTestBed_TcpReceived(int printer, unsigned char *buffer, int capacity);
/* 1 once the condition holds, 0 when timeout_ms passed first. */
int QVTestBed_WaitForTcpConnections(int printer, int count, int timeout_ms);
int QVTestBed_WaitForTcpBytes(int printer, int count, int timeout_ms);
int QVTestBed_WaitForTcpClientClose(int printer, int timeout_ms);

/* Frames a printer sends. The 8-byte status frame: 0x53, the five data bytes, the type and a
 * check byte that makes the XOR of all eight 0. */
void QVTestBed_StatusFrame(const unsigned char *data, unsigned char type, unsigned char *frame);
/* A framed maintenance packet: the 12-byte little-endian header, then the body. Copies at
 * most capacity bytes of it into packet and returns its length. */
int QVTestBed_FramedPacket(unsigned char type, unsigned short command, unsigned int parameter,
                           const unsigned char *body, int body_count, unsigned char *packet,
                           int capacity);

#ifdef __cplusplus
}
#endif

#endif
