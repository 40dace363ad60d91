// PlaceholderSettings: the server and sender that the default settings offer before the user
// configures any. The preference getters take them as defaults for "Host" and "From", the
// message's sender falls back to the placeholder sender, and the SendMessage and
// ShowMessageDialog workers and the configuration dialog compare against them (the host in any
// letter case) to tell that no server or no sender is configured yet. One text each, the same
// everywhere: take them from here.
#pragma once

// A reserved example name, so that an unconfigured plug-in never reaches a real server.
inline constexpr char g_strPlaceholderHost[] = "smtp.example.com";
// "Your Name", a blank and a placeholder address in angle brackets.
inline constexpr char g_strPlaceholderFrom[] = "Your Name <your.name@example.com>";
// The two sender addresses that mean no sender is configured yet, upper-cased: the placeholder
// address alone and a second placeholder. The workers compare the upper-cased "From" preference
// with them; the placeholder sender with its display name matches neither and passes.
inline constexpr char const* g_strPlaceholderAddresses[2] = {"YOUR.NAME@EXAMPLE.COM", "YOUR@EMAIL.ADDRESS"};
