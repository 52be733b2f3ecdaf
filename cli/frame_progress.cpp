#include "cli/frame_progress.h"

#include <utility>

namespace md2export {

std::vector<PlannedFrame> PlanFrameWrites(const std::vector<std::string>& names, int start, int end,
                                          uint32_t firstFrame, bool modelExists) {
    std::vector<PlannedFrame> plan;
    const int count = static_cast<int>(names.size());
    if (!modelExists) {
        for (int i = 0; i < count; ++i) plan.push_back({"writing", i + 1, count, names[static_cast<size_t>(i)]});
    }
    if (start < 0 || end < start || end >= count) return plan;
    const int range = end - start + 1;
    for (int i = start; i <= end; ++i) {
        const uint32_t sceneFrame = firstFrame + static_cast<uint32_t>(i) - static_cast<uint32_t>(start);
        if (!modelExists && sceneFrame < static_cast<uint32_t>(count)) continue;  // taken from the new model
        plan.push_back({"rewriting", i - start + 1, range, names[static_cast<size_t>(i)]});
    }
    return plan;
}

FrameProgress::FrameProgress(std::vector<PlannedFrame> plan, std::FILE* out)
    : plan_(std::move(plan)), out_(out) {}

void FrameProgress::NodeTransformed(INode* node) {
    if (!firstNode_) {
        firstNode_ = node;  // the time-0 capture: no frame yet
        return;
    }
    if (node != firstNode_ || !out_) return;
    ++captures_;
    if (captures_ > plan_.size()) return;
    const PlannedFrame& frame = plan_[captures_ - 1];
    // Carriage return and erase-line: the line is redrawn in place.
    std::fprintf(out_, "\rmd2export: %s frame %d of %d: %s\x1b[K", frame.pass, frame.number, frame.count,
                 frame.name.c_str());
    std::fflush(out_);
    drawn_ = true;
}

void FrameProgress::Finish() {
    if (!drawn_) return;
    std::fputs("\r\x1b[K", out_);
    std::fflush(out_);
    drawn_ = false;
}

}  // namespace md2export
