#pragma once

#include <memory>
#include <string>

namespace velmora {

class P4Connection;

// A handle on one changelist: its number and its description as last read, plus the
// connection it came from, so that Save can write the description back. Copies are
// independent values that share the (immutable) connection settings.
class Changelist {
public:
    Changelist();

    int GetChangeId() const;
    std::string GetDescription() const;
    void SetDescription(const std::string& description);

    // Writes the description to the server and returns the changelist as re-read from it.
    // The change's files and jobs stay as they are. Throws P4Error on failure, and on a
    // default-constructed handle, which has no connection.
    Changelist Save() const;

private:
    friend class Repository;
    Changelist(std::shared_ptr<const P4Connection> connection, int change_id, std::string description);

    std::shared_ptr<const P4Connection> connection_;
    int change_id_ = 0;
    std::string description_;
};

} // namespace velmora
