// stdlookup-demo-service [--port N]: both web services on 127.0.0.1 from a bundled sample.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "demo_service.h"

int main(int argc, char** argv) {
  CLI::App app{
      "Serves the standards query and download search services on 127.0.0.1 from a "
      "bundled sample of food standards."};
  int port = 8731;
  app.add_option("--port", port, "TCP port on 127.0.0.1")->check(CLI::Range(1, 65535));
  CLI11_PARSE(app, argc, argv);

  httplib::Server server;
  // Headers and body go out in two writes: with Nagle's algorithm against the client's delayed
  // ACK every answer on a kept-alive connection would wait some 40 ms for its body.
  server.set_tcp_nodelay(true);
  server.set_keep_alive_max_count(100);  // as common servers allow; httplib's own is 5
  stdlookup::demo::register_routes(server);
  if (!server.bind_to_port("127.0.0.1", port)) {
    std::fprintf(stderr, "stdlookup-demo-service: cannot listen on 127.0.0.1:%d\n", port);
    return 1;
  }
  std::printf("stdlookup-demo-service: listening on http://127.0.0.1:%d/\n", port);
  std::fflush(stdout);
  return server.listen_after_bind() ? 0 : 1;
}
