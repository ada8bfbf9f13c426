#pragma once
#include <string>
#include <string_view>
#include <vector>

// What a server says it can do in its answer to FEAT (RFC 2389): one feature a line, each line
// starting with a space, as "UTF8", "REST STREAM", "AUTH TLS" or "MLST type*;size*;".
struct FTPFeatures {
    struct Feature {
        std::string name;        // the first word, in capitals ("AUTH")
        std::string parameters;  // the rest of the line as sent, after one space ("TLS")
    };
    std::vector<Feature> features;  // in the server's order

    // Whether the server offers `name` (case-insensitive), and, when `parameter` is not empty,
    // offers it with that word among its parameters (separated by blanks or ";"), as
    // Has("AUTH", "TLS") or Has("REST", "STREAM").
    bool Has(std::string_view name, std::string_view parameter = {}) const;
};

// The features listed in `reply`, the whole reply to FEAT as received (every line with its line
// end). A reply without feature lines, or one that is no positive multi-line reply (211), lists
// none. Pure; throws nothing but std::bad_alloc.
FTPFeatures ParseFeatures(std::string_view reply);
