#include "engine/ThreadManager.h"

#include "engine/ThreadPool.h"

CThreadManager::CThreadManager(unsigned threadNum)
    : pool_(new CThreadPool(threadNum)), threadNum_(threadNum) {}

CThreadManager::~CThreadManager() {
    delete pool_;
}

void CThreadManager::SetThreadNum(unsigned threadNum) {
    threadNum_ = threadNum;
    pool_->SetThreadNum(threadNum);
}
