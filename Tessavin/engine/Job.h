#pragma once

// A piece of work that the worker pool runs once on one of its threads.
class CJob {
public:
    virtual ~CJob() = default;
    virtual void Run(void* argument) { (void)argument; }
};
