#include "server/answers/file_plan.h"

#include "server/answers/byte_ranges.h"
#include "server/answers/validators.h"

namespace {

bool IsNotModified(const FileFacts& file, const FileConditions& request) {
    if (request.if_none_match) return EtagListMatches(*request.if_none_match, file.etag);
    if (!request.if_modified_since) return false;
    const auto since = ParseHttpDate(*request.if_modified_since);
    return since && file.modified <= *since;
}

}  // namespace

FilePlan PlanFileResponse(const FileFacts& file, const FileConditions& request) {
    FilePlan plan;
    if (IsNotModified(file, request)) {
        plan.status = 304;
        return plan;
    }
    plan.length = file.size;
    if (!request.range) return plan;
    if (request.if_range && !IfRangeMatches(*request.if_range, file.etag, file.modified)) {
        return plan;
    }
    const RangeRequest range = ParseRange(*request.range, file.size);
    const std::string size = std::to_string(file.size);
    switch (range.kind) {
        case RangeRequest::Kind::kWhole:
            break;
        case RangeRequest::Kind::kPartial:
            plan.status = 206;
            plan.offset = range.first;
            plan.length = range.length;
            plan.content_range = "bytes " + std::to_string(range.first) + "-" +
                                 std::to_string(range.first + range.length - 1) + "/" + size;
            break;
        case RangeRequest::Kind::kUnsatisfiable:
            plan.status = 416;
            plan.length = 0;
            plan.content_range = "bytes */" + size;
            break;
    }
    return plan;
}
