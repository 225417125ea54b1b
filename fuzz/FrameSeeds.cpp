// Writes the frame fuzzer's seed corpus into the folder given: frames of every
// type as the codec makes them, result payloads, and the shapes the session
// and the helper meet at their edges (two frames in one read, a frame cut
// short, an empty command).
#include "helper/FrameCodec.h"

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];

    const frame::CommandResult ok{0, "done\n", ""};
    const frame::CommandResult failed{-1, "", "cp: cannot stat 'x': No such file or directory\n"};
    const frame::CommandResult both{127, std::string(300, 'o'), std::string("e\0rr", 4)};
    const std::string command =
        frame::encode(frame::Type::command, "/bin/mkdir -p '/opt/Quorvantic/'");
    const std::string result = frame::encode(frame::Type::result, frame::encodeResult(ok));

    const std::vector<std::string> seeds = {
        frame::encode(frame::Type::hello, frame::helloText),
        command,
        frame::encode(frame::Type::command, ""),
        frame::encode(frame::Type::command, "ln -s 'a b' \"c\" && echo \\$HOME"),
        result,
        frame::encode(frame::Type::result, frame::encodeResult(failed)),
        frame::encode(frame::Type::result, frame::encodeResult(both)),
        frame::encode(frame::Type::error, "malformed request: frame too large"),
        command + command,
        result + frame::encode(frame::Type::error, "bye"),
        command.substr(0, command.size() - 3),
        command.substr(0, 3),
        frame::encodeResult(ok),
        frame::encodeResult(failed),
        frame::encodeResult(both),
    };
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        std::ofstream file(folder + "/frame-" + std::to_string(i), std::ios::binary);
        file.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
        if (!file) {
            std::cerr << "cannot write into " << folder << '\n';
            return 1;
        }
    }
    return 0;
}
