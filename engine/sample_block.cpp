#include "engine/sample_block.h"

#include <algorithm>
#include <new>

void USampBlock::AlignedDelete::operator()(float* data) const {
    ::operator delete[](data, std::align_val_t(16));
}

USampBlock::USampBlock(int block_size) : size_(block_size) {
    const std::size_t count = static_cast<std::size_t>(block_size) + kSpare;
    float* storage = static_cast<float*>(::operator new[](count * sizeof(float), std::align_val_t(16)));
    std::fill(storage, storage + count, 0.0f);
    data_.reset(storage);
}

void USampBlock::SetAll(float value) { std::fill(data_.get(), data_.get() + size_, value); }

void USampBlock::Add(const USampBlock& other) {
    float* destination = data_.get();
    const float* source = other.data_.get();
    for (int i = 0; i < size_; ++i) destination[i] += source[i];
}

void USampBlock::Fill(int start, int count, float value) {
    std::fill(data_.get() + start, data_.get() + start + count, value);
}
