// The errors of the track module. what() is a whole sentence that a user can act on.
#pragma once

#include <stdexcept>
#include <string>

namespace railgrace {

// A track file whose content is damaged: says the file, the chunk, the byte and what is wrong.
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file system refused: says the path and the system's reason.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A track that cannot be written as a track file (too large, or a text character without a
// byte); nothing has been written when it is raised.
class SaveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace railgrace
