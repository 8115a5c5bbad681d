// Sets the port of a server configuration file and reads it back: the
// document store used from an installed package.
#include <treeval/xmlloader.h>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: setport FILE PORT\n";
        return 2;
    }
    XMLLoader store(argv[1]);
    std::vector<std::string> port{argv[2]}, stored;
    if (!store.lockFile() || !store.loadFile(true) ||
        !store.setOrCreateVector("/config/server/@port", port) || !store.saveFile())
        return 1;
    store.getVector("/config/server/@port", stored, 0);
    std::cout << "port " << stored.at(0) << '\n';
}
