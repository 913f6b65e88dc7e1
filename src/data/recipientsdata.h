#pragma once
// Dataset helpers of the recipient model (and of other readers of shared
// address-book datasets).

class TNDataSet;

// The dataset-state registry's pair as a scope: saves the dataset's open
// state and opens it; puts the state back when the scope ends, also when the
// work in between raised. Main thread only.
class TNDataSetStateScope {
public:
    explicit TNDataSetStateScope(TNDataSet* dataSet);
    ~TNDataSetStateScope();
    TNDataSetStateScope(const TNDataSetStateScope&) = delete;
    TNDataSetStateScope& operator=(const TNDataSetStateScope&) = delete;

private:
    TNDataSet* m_dataSet;
};
