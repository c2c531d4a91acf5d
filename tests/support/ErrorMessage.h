#pragma once

// The message of the error an action raises, for tests that assert exact texts.

#include <exception>
#include <gtest/gtest.h>
#include <string>

// Runs `action` and returns the message of the error of kind E it raises; fails the test when it
// raises nothing or something else.
template <class E, class F> std::string MessageOf(F&& action)
{
    try {
        action();
    } catch (const E& error) {
        return error.Message();
    } catch (const std::exception& other) {
        ADD_FAILURE() << "another error: " << other.what();
        return {};
    }
    ADD_FAILURE() << "no error";
    return {};
}
