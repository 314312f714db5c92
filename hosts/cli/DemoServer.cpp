// Serves the files of a folder over HTTP on 127.0.0.1 (an ephemeral port, written to a
// file) until it is stopped. Used by the demo run to serve the sample feeds. "/slow/NAME"
// serves the file NAME after 4 seconds (a slow server, for the screenshots).
//
//   tessavin-demo-server FOLDER PORT_FILE
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

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
    server.set_file_extension_and_mimetype_mapping("atom", "application/atom+xml");
    const std::string folder = argv[1];
    server.Get(R"(/slow/([A-Za-z0-9_-]+\.xml))",
               [folder](const httplib::Request& request, httplib::Response& response) {
                   std::this_thread::sleep_for(std::chrono::seconds(4));
                   std::ifstream in(folder + "/" + request.matches[1].str(), std::ios::binary);
                   if (!in) {
                       response.status = 404;
                       return;
                   }
                   std::ostringstream body;
                   body << in.rdbuf();
                   response.set_content(body.str(), "application/rss+xml");
               });
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
