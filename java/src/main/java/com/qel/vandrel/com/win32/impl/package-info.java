/**
 * The implementation behind {@code com.qel.vandrel.com.win32}: the wrappers' native calls, the
 * release of native handles and the loading of the native library. Applications do not use it
 * directly.
 */
package com.qel.vandrel.com.win32.impl;
