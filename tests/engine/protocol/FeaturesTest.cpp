#include "Orvane/engine/protocol/FTPFeatures.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The features as one text, "NAME parameters|NAME|...", so that a whole list compares at once.
std::string Listed(const FTPFeatures& parsed) {
    std::string text;
    for (const auto& feature : parsed.features) {
        if (!text.empty()) text += '|';
        text += feature.name;
        if (!feature.parameters.empty()) text += ' ' + feature.parameters;
    }
    return text;
}

}  // namespace

TEST(ParseFeatures, ListsTheFeatureLinesOfA211Reply) {
    struct Case {
        const char* reply;
        const char* listed;
    };
    const Case cases[] = {
        {"211-Features:\r\n LANG C.UTF-8*\r\n MLST modify*;perm*;size*;\r\n UTF8\r\n211 End\r\n",
         "LANG C.UTF-8*|MLST modify*;perm*;size*;|UTF8"},
        // names in any case, bare LF, tabs and several blanks before a feature
        {"211-Features\n utf8\n \t  size\n211 End\n", "UTF8|SIZE"},
        {"211-Features:\r\n auth tls;ssl\r\n211 End\r\n", "AUTH tls;ssl"},
        // lines that are no features: the closing line, other text, blank lines
        {"211-Features:\r\nSIZE without a space\r\n \r\n211-MDTM\r\n UTF8\r\n211 End\r\n", "UTF8"},
        {"211 No features\r\n", ""},
        {"500 Unknown command\r\n", ""},
        {"502- UTF8\r\n UTF8\r\n502 End\r\n", ""},
        {"211-\r\n UTF8", "UTF8"},  // a connection that closed before the closing line
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(Listed(ParseFeatures(c.reply)), c.listed);
    }
}

TEST(ParseFeatures, HasFindsNamesAndParametersInAnyCase) {
    const FTPFeatures parsed = ParseFeatures(
        "211-Features:\r\n UTF8\r\n REST STREAM\r\n AUTH SSL\r\n AUTH tls\r\n MLST type*;size*;\r\n211 End\r\n");
    struct Case {
        const char* name;
        const char* parameter;
        bool has;
    };
    const Case cases[] = {
        {"utf8", "", true},     {"REST", "STREAM", true},    {"AUTH", "TLS", true},  {"AUTH", "TLS-C", false},
        {"MLST", "size*", true}, {"REST STREAM", "", false}, {"UTF", "", false},     {"SIZE", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.parameter);
        EXPECT_EQ(parsed.Has(c.name, c.parameter), c.has);
    }
}
