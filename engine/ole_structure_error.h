#pragma once
// A damaged or unexpected OLE structure: what() names what is wrong and where.

#include <stdexcept>

namespace corvid {

class OleStructureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace corvid
