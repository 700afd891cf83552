// The session's listing thread, one folder at a time, and the giving up of a listing that stalls.
#include "reading/ListAhead.h"

#include <utility>

#include "reading/Engine.h"

namespace korvane {

ListAhead::~ListAhead() {
    // A listing still out belongs to a run that ended by an error: it is given up, not waited for.
    Abandon();
}

bool ListAhead::Begin(FileSystem& fs, const std::string& folder) {
    if (worker_.Out()) Abandon();
    return worker_.Begin([&](Listing& listing) {
        listing.fs = &fs;
        listing.folder = folder;
        listing.entries.clear();
    });
}

bool ListAhead::FinishWithin(std::chrono::nanoseconds wait, std::vector<DirEntry>& out, bool& ok) {
    Listing* listing = worker_.FinishWithin(wait);
    if (!listing) return false;
    out = std::move(listing->entries);
    ok = listing->ok;
    return true;
}

void ListAhead::Abandon() {
    worker_.GiveUp([](Listing&) {});
}

std::optional<bool> ListPaced(ReadingEngine& e, FileSystem& fs, const std::string& folder,
                              std::vector<DirEntry>& out) {
    if (!e.listAhead.Begin(fs, folder)) return fs.ListFolder(folder, out);
    for (;;) {
        bool ok = false;
        if (e.listAhead.FinishWithin(e.pacer.Left(), out, ok)) return ok;
        if (e.pacer.Due()) {
            e.Pump();
            if (e.Aborted()) {
                e.listAhead.Abandon();
                return std::nullopt;
            }
        }
    }
}

}  // namespace korvane
