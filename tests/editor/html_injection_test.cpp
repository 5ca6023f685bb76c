// Where the loopback host places its bridge in a served page.
#include <gtest/gtest.h>

#include "html_injection.h"

namespace tavrena {
namespace {

using vstwebview::loopback::insertBeforePageScripts;

TEST(HtmlInjection, BridgeGoesAfterTheHeadsDeclarationsAndBeforeThePagesScripts) {
  EXPECT_EQ(insertBeforePageScripts(
                "<html><head><meta charset=\"utf-8\"><SCRIPT src=\"a.js\"></SCRIPT></head>", "[B]"),
            "<html><head><meta charset=\"utf-8\">[B]<SCRIPT src=\"a.js\"></SCRIPT></head>");
  EXPECT_EQ(insertBeforePageScripts("<head><title>t</title></HEAD><body>", "[B]"),
            "<head><title>t</title>[B]</HEAD><body>");
  EXPECT_EQ(insertBeforePageScripts("<head lang=x><body>", "[B]"), "<head lang=x>[B]<body>");
  EXPECT_EQ(insertBeforePageScripts("plain text", "[B]"), "[B]plain text");
  // A tag that merely starts with the name is another tag.
  EXPECT_EQ(insertBeforePageScripts("<scripts></scripts><header>", "[B]"),
            "[B]<scripts></scripts><header>");
}

}  // namespace
}  // namespace tavrena
