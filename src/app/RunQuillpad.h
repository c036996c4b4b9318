#pragma once

// The whole program: start-up, the message loop and shut-down. Returns the exit status.
int RunQuillpad(int argc, char** argv);
