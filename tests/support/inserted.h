#pragma once
// Inserted(): whether a store committed a record, with the store's message
// when it did not, for ASSERT_TRUE(Inserted(store.Insert(record, false))).

#include <gtest/gtest.h>

#include "records/record_store.h"

inline ::testing::AssertionResult Inserted(const InsertResult& result) {
    if (result)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << result.message;
}
