// One block of audio samples, owned by the output plug that made it.
#pragma once

#include <cstdint>
#include <memory>

class USampBlock {
public:
    explicit USampBlock(int block_size);

    float* Data() { return data_.get(); }
    const float* Data() const { return data_.get(); }
    int Size() const { return size_; }

    void SetAll(float value);
    void Clear() { SetAll(0.0f); }
    void Add(const USampBlock& other);
    float Get(int index) const { return data_[index]; }
    void Set(int index, float value) { data_[index] = value; }
    void Fill(int start, int count, float value);

private:
    struct AlignedDelete {
        void operator()(float* data) const;
    };
    // Room for eight spare floats behind the block so four-at-a-time loops may
    // run past the end; the spares are never read as samples.
    static constexpr int kSpare = 8;

    int32_t reserved_ = 0;
    std::unique_ptr<float[], AlignedDelete> data_;
    int size_;
};
