#pragma once

// What happened to the entries of one folder while a test ran, from inotify: which were opened
// and which were closed after writing, in order.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

class TFolderWatch {
public:
    explicit TFolderWatch(const std::string& folder, std::uint32_t events = IN_OPEN)
        : FFd(inotify_init1(IN_NONBLOCK))
    {
        if (FFd < 0 || inotify_add_watch(FFd, folder.c_str(), events) < 0)
            throw std::runtime_error("cannot watch " + folder);
    }
    ~TFolderWatch() { close(FFd); }
    TFolderWatch(const TFolderWatch&) = delete;
    TFolderWatch& operator=(const TFolderWatch&) = delete;

    // "open NAME" and "done NAME" (closed after writing) for each entry event so far; events of
    // the folder itself carry no name and are left out.
    std::vector<std::string> Events()
    {
        std::vector<std::string> events;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = read(FFd, buffer, sizeof buffer)) > 0;) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                if (e->len > 0)
                    events.push_back(std::string(e->mask & IN_OPEN ? "open " : "done ") + e->name);
                p += sizeof(inotify_event) + e->len;
            }
        }
        return events;
    }

    // The names of the entries that were opened.
    std::vector<std::string> Opened()
    {
        std::vector<std::string> names;
        for (const auto& event : Events())
            if (event.rfind("open ", 0) == 0)
                names.push_back(event.substr(5));
        return names;
    }

private:
    int FFd;
};
