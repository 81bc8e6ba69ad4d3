/*
 * Opening web pages in the user's browser.
 */
#ifndef VORN_BROWSER_HANDLING_H
#define VORN_BROWSER_HANDLING_H

void BrowserHandling_Init() noexcept;
void BrowserHandling_Done() noexcept;

#endif
