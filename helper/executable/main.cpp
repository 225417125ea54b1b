// quorvantic-helper: runs the installer's administrator commands, started by
// pkexec once per script run. Its protocol is in helper/FrameCodec.h.
#include "helper/HelperServer.h"

int main(int argc, char **argv)
{
    return helper::run(argc, argv);
}
