#pragma once
#include <istream>
#include <string>

#include "platform/kernel/WqVector3D.h"

// The kernel's token reader: blank-separated words from a stream. "{" and "}" are tokens of
// their own even when written against a word.
class TOKEN {
public:
    explicit TOKEN(std::istream& in) : in_(&in) {}

    // Reads the next token into `szToken`; its length, or -1 at the end of the input.
    int GetToken();
    // Each reads one token and converts it; 0 on success, -1 at the end or on bad text.
    int GetINT(int& out);
    int GetUINT(unsigned int& out);
    int GetDOUBLE(double& out);
    int GetCVector(WqVector3D& out);

    std::string szToken;

private:
    std::istream* in_;
};
