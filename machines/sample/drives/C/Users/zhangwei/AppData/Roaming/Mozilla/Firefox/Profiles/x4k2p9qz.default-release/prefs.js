// Mozilla User Preferences

user_pref("browser.startup.homepage", "https://www.baidu.com/");
user_pref("browser.search.region", "CN");
user_pref("intl.accept_languages", "zh-CN, zh, en-US, en");
