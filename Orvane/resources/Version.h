#pragma once
// The product's version and maker: one place for the version resources of both binaries, the
// About box and the installer (tools/package reads it).
#define ORVANE_VERSION_MAJOR 1
#define ORVANE_VERSION_MINOR 0
#define ORVANE_VERSION_BUILD 21
#define ORVANE_VERSION_NUMBERS 1, 0, 21, 0
#define ORVANE_VERSION_TEXT "1.0.21.0"
#define ORVANE_PRODUCT_NAME "Orvane"
#define ORVANE_COMPANY_NAME "Telmora"
