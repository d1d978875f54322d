// Seed corpus of the interface scanner: companion files as probes write them.
#include <filesystem>

#include "support/files.h"

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    testsupport::WriteText(
        dir + "/two.xml",
        "<?xml version=\"1.0\"?>\n<vexor>\n"
        "  <interface index=\"1\" name=\"Port A\" limtype=\"Gigabit Ethernet\"/>\n"
        "  <interface index=\"2\" name=\"Port B\" limtype=\"OC3 ATM\"/>\n</vexor>\n");
    testsupport::WriteText(dir + "/plain.xml", "<INTERFACE INDEX = 7 Name=B LimType=ATM/>");
    return 0;
}
