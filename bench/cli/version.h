// "gaugebench 1.1.0 (v1.1.0-12-gabcdef0)": the project's version, and where the checkout stood when built.
#pragma once

const char* version_text();
