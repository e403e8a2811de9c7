#pragma once
// Rows of a parameterised test's table that carry their own name: derive the row from NamedCase
// and give INSTANTIATE_TEST_SUITE_P a CaseName. The name then stands in the test's own name and,
// in place of a dump of the row's bytes, in its failure messages.

#include <concepts>
#include <ostream>
#include <string>

namespace testsupport {

struct NamedCase {
    const char* name;
};

// Found through the row's base class; preferred to GoogleTest's own printer for being more
// constrained.
template <class Case>
requires std::derived_from<Case, NamedCase>
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// Names each instance of a parameterised test after its row's name (any row with a name member).
struct CaseName {
    template <class Info> std::string operator()(const Info& info) const { return info.param.name; }
};

} // namespace testsupport
