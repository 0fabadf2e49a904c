#pragma once

#include <microhttpd.h>
#include <sys/stat.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "server/answers/file_plan.h"
#include "server/unique_fd.h"

// Building and queueing answers. Every answer carries Server, X-Content-Type-Options: nosniff and
// Cache-Control: no-cache.

struct ExtraHeader {
    const char* name;
    std::string value;
};

// Answers `status` with `body` (not sent for HEAD, which MHD takes care of).
MHD_Result QueueBody(MHD_Connection* connection, unsigned status, std::string_view body,
                     std::string_view content_type, std::initializer_list<ExtraHeader> extra = {});

// Answers `status` with a small HTML page of our own naming it.
MHD_Result QueueStatusPage(MHD_Connection* connection, unsigned status,
                           std::initializer_list<ExtraHeader> extra = {});

// That page's HTML.
std::string StatusPage(unsigned status);

// Queues `response` (taken over) with the headers every answer carries.
MHD_Result QueueResponse(MHD_Connection* connection, unsigned status, MHD_Response* response);

// Answers `status` without a body.
MHD_Result QueueEmpty(MHD_Connection* connection, unsigned status,
                      std::initializer_list<ExtraHeader> extra = {});

// Answers with the regular file `fd` (taken over, closed when done with) as the request's
// conditional and Range headers ask: 200, 206, 304 or 416. A body of up to 64 KiB is read at once
// and sent with the headers; a longer one is streamed from disk in blocks of up to 256 KiB, never
// held whole in memory. A file stored compressed names its `content_encoding`; its entity tag then
// names it too, so that each coding of a file has a tag of its own.
MHD_Result QueueFile(MHD_Connection* connection, UniqueFd&& fd, const struct stat& info,
                     std::string_view content_type, std::string_view content_encoding = {});

// Answers with the HTML file `fd` (taken over; at most kMaxReloadPageBytes) carrying the live
// reload script, with an entity tag of its own: 200, or 304 when If-None-Match holds that tag. A
// Range is ignored (the whole page is sent), since byte offsets into the file do not match the
// page sent.
MHD_Result QueueReloadPage(MHD_Connection* connection, UniqueFd&& fd, const struct stat& info,
                           std::string_view content_type);
