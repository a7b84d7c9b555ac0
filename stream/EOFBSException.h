// The end of an input bit stream: thrown by CBitStream, caught only by the frame loop.
#pragma once

class EOFBSException {
public:
    virtual ~EOFBSException() = default;
};
