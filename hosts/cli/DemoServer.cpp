// Serves the files of a folder over HTTP on 127.0.0.1 (an ephemeral port, written to a
// file) until it is stopped. Used by the demo run to serve the sample feeds.
//
//   tessavin-demo-server FOLDER PORT_FILE
#include <httplib.h>

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tessavin-demo-server FOLDER PORT_FILE\n");
        return 2;
    }
    httplib::Server server;
    if (!server.set_mount_point("/", argv[1])) {
        std::fprintf(stderr, "cannot serve %s\n", argv[1]);
        return 1;
    }
    server.set_file_extension_and_mimetype_mapping("xml", "application/rss+xml");
    int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        return 1;
    {
        std::ofstream out(std::string(argv[2]) + ".tmp");
        out << port << "\n";
    }
    std::rename((std::string(argv[2]) + ".tmp").c_str(), argv[2]);
    return server.listen_after_bind() ? 0 : 1;
}
