#pragma once

class CThreadPool;

// Owns the pool; created by the main frame with ThreadNum.
class CThreadManager {
public:
    explicit CThreadManager(unsigned threadNum);
    ~CThreadManager();
    CThreadManager(const CThreadManager&) = delete;
    CThreadManager& operator=(const CThreadManager&) = delete;

    CThreadPool& Pool() { return *pool_; }
    void SetThreadNum(unsigned threadNum);
    unsigned ThreadNum() const { return threadNum_; }

private:
    CThreadPool* pool_;
    unsigned threadNum_;
};
