// The live phone's web server: the page, the screen's frames, the events
// (timeline lines, sounds, state) as server-sent events, and the inputs,
// each checked here before the session sees it. Only its own address may
// drive it: a request whose Host is not that address, or that comes from a
// page of another origin, is answered 403.
#pragma once

#include <memory>
#include <string>

#include "live/session.h"

namespace handset::live {

class Server {
  public:
    struct Options {
        std::string listen = "127.0.0.1";
        int port = 0; // 0: a free one
        // Inputs, clock changes and saves a second; a release of what is
        // held down is never refused for it.
        int perSecond = 100;
    };

    Server(Session& session, Options options);
    ~Server();

    // Takes the port; false and *error when it cannot.
    bool Bind(std::string* error);
    int Port() const;
    std::string Address() const; // "http://127.0.0.1:PORT/"
    // Serves until Stop (from another thread).
    void Run();
    void Stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The page, embedded in the program.
std::string_view Page();

} // namespace handset::live
