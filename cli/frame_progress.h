// The progress line of an export: which frame the model writer is writing.
//
// The plug-in says nothing while it writes, but every frame is a fresh capture
// of the meshes, and a capture asks each collected node once for its world
// transform, in the order of the node list. So the first node asked after
// "Save md2" is pressed starts the time-0 capture that every export makes
// first, and every later question to that same node starts the next frame.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/host_sdk.h"

namespace md2export {

// One frame write the model writer will make.
struct PlannedFrame {
    const char* pass;  // "writing" or "rewriting"
    int number;        // 1-based within its pass
    int count;         // frames in its pass
    std::string name;
};

// The frame captures of one save, in order. A new model gets every name of the
// list, then the chosen range start..end rewritten over them; the writer takes
// a rewritten frame from the new model when that holds the same scene frame
// (first frame + i - start within the list), so only the others are captured
// again. An existing model gets only the rewritten range.
std::vector<PlannedFrame> PlanFrameWrites(const std::vector<std::string>& names, int start, int end,
                                          uint32_t firstFrame, bool modelExists);

class FrameProgress {
public:
    // Lines go to out (null: nowhere), each overwriting the last.
    FrameProgress(std::vector<PlannedFrame> plan, std::FILE* out);

    // The host's transform observer.
    void NodeTransformed(INode* node);

    // Clears the line, if one was drawn.
    void Finish();

private:
    std::vector<PlannedFrame> plan_;
    std::FILE* out_;
    INode* firstNode_ = nullptr;
    size_t captures_ = 0;  // after the time-0 capture
    bool drawn_ = false;
};

}  // namespace md2export
