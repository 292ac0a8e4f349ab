// Downloads one web page with an HTTP GET and delivers it as converted Shift_JIS lines.
//
// The body is read in 64 KiB blocks and handed to PageLineReader, which splits, trims, converts
// and stores (or passes on) each line as it arrives; the body is never held whole. A page larger
// than PageLineReader::kMaxBodyBytes is read up to that size: the fetch then stops and counts as
// read (the lines so far are the page), since the ticker shows only the start of a page anyway.
//
// A server that trickles a few bytes now and then never trips the receive time-out, and the fetch
// holds the ticker's thread: a page still unread after kPageReadDeadlineMs is given up (false).
#pragma once

#include "support/net/http_request.h"
#include "support/net/page_lines.h"

constexpr int kPageReadDeadlineMs = 120000;

// Clears page.lines, sets page.encoding to initialEncoding and page.inHead to 1, downloads url and
// stores its lines. With initialEncoding kEncodingUnknown, a character set named by the answer's
// Content-Type (one the converter knows) is the page's initial set instead. Returns true when the request was
// sent and the body read to its end (or to the body limit); false when the request failed, the connection
// broke off or the body was still not read after kPageReadDeadlineMs, in which case the lines read before
// stay in page.lines. A null url returns false at once and leaves page untouched. referrer, userName and
// password may be null. Never throws.
bool LoadPage(PageLines& page, const char* url, const char* referrer, int initialEncoding,
              const char* userName, const char* password);

// The same, but every converted line goes to sink as soon as it is complete and page.lines stays
// empty; page.encoding and page.inHead carry the page's state as the lines pass. An exception thrown
// by the sink ends the fetch with false.
bool LoadPage(PageLines& page, const char* url, const char* referrer, int initialEncoding,
              const char* userName, const char* password, PageLineSink& sink);

// What a page fetch sends beyond the address, and what it learns from the answer.
struct PageExchange {
  HttpConditions conditions;  // validators of an earlier answer, sent with the request
  HttpResponse response;      // the answer; status 0 when none came
};

// The same, with the validators of exchange.conditions sent, and the answer's status, final
// address and headers left in exchange.response (also when the body then fails to arrive). sink
// may be null (the lines go to page.lines). A 304 answer has no body: true with no lines.
bool LoadPage(PageLines& page, const char* url, const char* referrer, int initialEncoding,
              const char* userName, const char* password, PageLineSink* sink, PageExchange& exchange);

// Opens request for url and sends it (see HttpRequest::Open). On failure request is closed.
bool OpenHttpRequest(HttpRequest& request, const char* url, const char* referrer, const char* userName,
                     const char* password);

// Closes the request, its connection and its session, in that order, each only if open.
void CloseHttpRequest(HttpRequest& request);

// The read buffer of a page request.
constexpr unsigned long kPageReadBufferBytes = 0x10000;
