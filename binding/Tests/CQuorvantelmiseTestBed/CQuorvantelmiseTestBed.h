/* The Swift tests' test bed (tests/swift_testbed/QVTestBed.h), found through the build tree's
 * quorvantelmise-testbed.pc. */
#include <QVTestBed.h>
