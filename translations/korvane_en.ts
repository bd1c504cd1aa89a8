<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>frmBusinessMain</name>
    <message>
        <source>号码管理之文件上传</source>
        <translation>Number management: file upload</translation>
    </message>
    <message>
        <source>FormShow</source>
        <translation>FormShow</translation>
    </message>
    <message>
        <source>查询条件</source>
        <translation>Search conditions</translation>
    </message>
    <message>
        <source>申请单号</source>
        <translation>Order no.</translation>
    </message>
    <message>
        <source>OnEditKeyPress</source>
        <translation>OnEditKeyPress</translation>
    </message>
    <message>
        <source>申请单类型</source>
        <translation>Order type</translation>
    </message>
    <message>
        <source>文件名称</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>生成日期起</source>
        <translation>From</translation>
    </message>
    <message>
        <source>yyyy/MM/dd</source>
        <translation>yyyy/MM/dd</translation>
    </message>
    <message>
        <source>生成日期止</source>
        <translation>Until</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>列表</source>
        <translation>List</translation>
    </message>
    <message>
        <source>申请单号|80</source>
        <translation>Order number|80</translation>
    </message>
    <message>
        <source>申请单类型|80</source>
        <translation>Order type|80</translation>
    </message>
    <message>
        <source>文件名称|200</source>
        <translation>File name|200</translation>
    </message>
    <message>
        <source>操作员编号|80</source>
        <translation>Operator|80</translation>
    </message>
    <message>
        <source>生成日期|100</source>
        <translation>Created|100</translation>
    </message>
    <message>
        <source>备注|80</source>
        <translation>Note|80</translation>
    </message>
    <message>
        <source>上传</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
</context>
<context>
    <name>frmMDIChild</name>
    <message>
        <source>业务主窗口</source>
        <translation>Business window</translation>
    </message>
    <message>
        <source>FormClose</source>
        <translation>FormClose</translation>
    </message>
    <message>
        <source>FormMouseMove</source>
        <translation>FormMouseMove</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>提交</source>
        <translation>Submit</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>上一条</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>下一条</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>增加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>修改</source>
        <translation>Modify</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>选号</source>
        <translation>Select number</translation>
    </message>
    <message>
        <source>选卡</source>
        <translation>Select card</translation>
    </message>
    <message>
        <source>报表</source>
        <translation>Report</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>缴费</source>
        <translation>Pay</translation>
    </message>
    <message>
        <source>返销</source>
        <translation>Reverse payment</translation>
    </message>
    <message>
        <source>调账</source>
        <translation>Adjust account</translation>
    </message>
    <message>
        <source>退费</source>
        <translation>Refund</translation>
    </message>
    <message>
        <source>发票</source>
        <translation>Invoice</translation>
    </message>
    <message>
        <source>优惠</source>
        <translation>Discount</translation>
    </message>
    <message>
        <source>打印设置</source>
        <translation>Print columns</translation>
    </message>
    <message>
        <source>上一页</source>
        <translation>Previous page</translation>
    </message>
    <message>
        <source>下一页</source>
        <translation>Next page</translation>
    </message>
    <message>
        <source>账户锁定</source>
        <translation>Lock account</translation>
    </message>
    <message>
        <source>账户解锁</source>
        <translation>Unlock account</translation>
    </message>
    <message>
        <source>明细</source>
        <translation>Item details</translation>
    </message>
    <message>
        <source>登录</source>
        <translation>Log in</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>检索</source>
        <translation>Scout</translation>
    </message>
    <message>
        <source>新建客户</source>
        <translation>New customer</translation>
    </message>
    <message>
        <source>新建账户</source>
        <translation>New account</translation>
    </message>
    <message>
        <source>退押金</source>
        <translation>Return deposit</translation>
    </message>
    <message>
        <source>排序</source>
        <translation>Sort</translation>
    </message>
    <message>
        <source>强制结束</source>
        <translation>Force end</translation>
    </message>
    <message>
        <source>详细信息</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>补打</source>
        <translation>Reprint</translation>
    </message>
    <message>
        <source>预览</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>分配</source>
        <translation>Assign</translation>
    </message>
    <message>
        <source>回收</source>
        <translation>Recycle</translation>
    </message>
    <message>
        <source>激活</source>
        <translation>Activate</translation>
    </message>
    <message>
        <source>作废</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>号码匹配</source>
        <translation>Match numbers</translation>
    </message>
    <message>
        <source>绑定</source>
        <translation>Bind</translation>
    </message>
    <message>
        <source>预约明细</source>
        <translation>Booking details</translation>
    </message>
    <message>
        <source>费用明细</source>
        <translation>Fee details</translation>
    </message>
    <message>
        <source>打印明细</source>
        <translation>Print details</translation>
    </message>
    <message>
        <source>重新开通</source>
        <translation>Reopen</translation>
    </message>
    <message>
        <source>强制开通</source>
        <translation>Force open</translation>
    </message>
    <message>
        <source>批发</source>
        <translation>Wholesale</translation>
    </message>
    <message>
        <source>采购</source>
        <translation>Purchaser</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Abort</translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>忽略</source>
        <translation>Ignore</translation>
    </message>
    <message>
        <source>解除绑定</source>
        <translation>Unbind</translation>
    </message>
    <message>
        <source>修改密码</source>
        <translation>Change password</translation>
    </message>
    <message>
        <source>授权</source>
        <translation>Authorise</translation>
    </message>
    <message>
        <source>取消授权</source>
        <translation>Revoke authorisation</translation>
    </message>
    <message>
        <source>撤销新装</source>
        <translation>Undo new installation</translation>
    </message>
    <message>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>开通服务</source>
        <translation>Open service</translation>
    </message>
    <message>
        <source>调拨</source>
        <translation>Allot</translation>
    </message>
    <message>
        <source>延期</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>锁定</source>
        <translation>Lock</translation>
    </message>
    <message>
        <source>重置</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>挂失</source>
        <translation>Report loss</translation>
    </message>
    <message>
        <source>解锁</source>
        <translation>Unlock</translation>
    </message>
    <message>
        <source>工单锁定</source>
        <translation>Lock work order</translation>
    </message>
    <message>
        <source>配置</source>
        <translation>Configure</translation>
    </message>
    <message>
        <source>资源重置</source>
        <translation>Reset resource</translation>
    </message>
    <message>
        <source>转存</source>
        <translation>Transfer</translation>
    </message>
</context>
<context>
    <name>ftp</name>
    <message>
        <source>未知错误![%1]主机不可达，请检查IP地址是否正确。</source>
        <translation>Unknown error! Host [%1] cannot be reached; please check that the IP address is right.</translation>
    </message>
    <message>
        <source>数据连接提前结束：已收到%1字节，文件共%2字节</source>
        <translation>the data connection ended early: %1 bytes received of a file of %2 bytes</translation>
    </message>
    <message>
        <source>读取被中止</source>
        <translation>reading was stopped</translation>
    </message>
    <message>
        <source>服务器上的文件大小(%1)与本地文件(%2)不符</source>
        <translation>the size of the file on the server (%1) differs from the local file (%2)</translation>
    </message>
    <message>
        <source>服务器不允许改名(%1)，原文件保持不变。如该服务器不允许改名，请把系统参数korvane_ftp_upload设为direct。</source>
        <translation>The server does not allow renaming (%1); the file there is unchanged. If this server allows no renaming, set the system parameter korvane_ftp_upload to direct.</translation>
    </message>
    <message>
        <source>服务器拒绝改名(%1)，原文件暂存为[%2]，未能改回(%3)</source>
        <translation>The server refused the rename (%1); the original file was kept as [%2] and could not be moved back (%3)</translation>
    </message>
    <message>
        <source>服务器拒绝改名(%1)，原文件保持不变。</source>
        <translation>The server refused the rename (%1); the file there is unchanged.</translation>
    </message>
    <message>
        <source>目录列表超过 %1 字节</source>
        <translation>the directory listing exceeds %1 bytes</translation>
    </message>
    <message>
        <source>服务器曾支持TLS，本次未提供，可能遭到降级攻击</source>
        <translation>the server spoke TLS before and did not offer it now: possibly a downgrade attack</translation>
    </message>
    <message>
        <source>与服务器的控制连接已失步，请重新连接</source>
        <translation>the control connection to the server is out of step; please connect again</translation>
    </message>
    <message>
        <source>不能写入[%1]，下次连接服务器%2时不会记得本次所知</source>
        <translation>cannot write [%1]: what was learnt of server %2 will not be remembered next time</translation>
    </message>
    <message>
        <source>服务器%1不支持TLS（%2），本次会话不加密，密码以明文发送</source>
        <translation>server %1 does not support TLS (%2): this session is not encrypted and the password is sent in clear text</translation>
    </message>
    <message>
        <source>未知的文件名编码[%1]</source>
        <translation>unknown file name encoding [%1]</translation>
    </message>
    <message>
        <source>文件名[%1]不能用%2编码表示</source>
        <translation>the file name [%1] cannot be written in %2</translation>
    </message>
    <message>
        <source>连接服务器</source>
        <translation>connecting to the server</translation>
    </message>
    <message>
        <source>等待服务器应答</source>
        <translation>waiting for the server&apos;s reply</translation>
    </message>
    <message>
        <source>等待数据连接</source>
        <translation>waiting for the data connection</translation>
    </message>
    <message>
        <source>读取数据</source>
        <translation>reading data</translation>
    </message>
    <message>
        <source>发送数据</source>
        <translation>sending data</translation>
    </message>
    <message>
        <source>连接被服务器断开</source>
        <translation>the server closed the connection</translation>
    </message>
    <message>
        <source>服务器的应答无法识别</source>
        <translation>the server&apos;s reply cannot be understood</translation>
    </message>
    <message>
        <source>名称中含有换行符</source>
        <translation>the name contains a line break</translation>
    </message>
    <message>
        <source>操作已取消</source>
        <translation>the operation was cancelled</translation>
    </message>
    <message>
        <source>%1超时（%2秒）</source>
        <translation>%1 timed out (%2 s)</translation>
    </message>
    <message>
        <source>证书指纹[%1]格式不对</source>
        <translation>the certificate fingerprint [%1] is malformed</translation>
    </message>
    <message>
        <source>不能读取CA证书文件[%1]：%2</source>
        <translation>cannot read the CA certificate file [%1]: %2</translation>
    </message>
    <message>
        <source>服务器证书的SHA-256指纹不符：</source>
        <translation>the SHA-256 fingerprint of the server&apos;s certificate does not match: </translation>
    </message>
    <message>
        <source>[%1]已存在，但不是本人的普通文件（可能是他人放置的链接或管道），不能写入</source>
        <translation>[%1] exists but is not your own regular file (perhaps a link or pipe placed by someone else); nothing was written to it</translation>
    </message>
    <message>
        <source>[%1]不是普通文件，不能上传</source>
        <translation>[%1] is not a regular file and cannot be uploaded</translation>
    </message>
</context>
<context>
    <name>korvane</name>
    <message>
        <source>已取消上传。</source>
        <translation>Upload cancelled.</translation>
    </message>
    <message>
        <source>已取消下载。</source>
        <translation>Download cancelled.</translation>
    </message>
    <message>
        <source>已取消上传，服务器上的文件未改变。</source>
        <translation>Upload cancelled; the file on the server is unchanged.</translation>
    </message>
    <message>
        <source>已取消上传，服务器上可能留有不完整的文件[%1]。</source>
        <translation>Upload cancelled; an incomplete file [%1] may be left on the server.</translation>
    </message>
    <message>
        <source>已取消下载，已收到的部分保留在[%1]，再次下载时将从头下载。</source>
        <translation>Download cancelled; the part received is kept in [%1], and the next download starts from the beginning.</translation>
    </message>
    <message>
        <source>已取消下载，已收到的部分保留在[%1]。</source>
        <translation>Download cancelled; the part received is kept in [%1].</translation>
    </message>
    <message>
        <source>已取消下载，已收到的部分保留在[%1]，再次下载时从那里续传。</source>
        <translation>Download cancelled; the part received is kept in [%1], and the next download continues from there.</translation>
    </message>
    <message>
        <source>不能登录远程FTP服务器，请确定正确的用户名及密码！</source>
        <translation>Cannot log in to the remote FTP server; please make sure the user name and password are right!</translation>
    </message>
    <message>
        <source>远程FTP服务器[%1]拒绝连接：该地址的该端口上没有FTP服务，请检查系统参数korvane_ip中的地址和端口，或请管理员启动FTP服务。</source>
        <translation>The remote FTP server [%1] refused the connection: no FTP service listens on that port of that address. Check the address and port in the system parameter korvane_ip, or ask the administrator to start the FTP service.</translation>
    </message>
    <message>
        <source>找不到远程FTP服务器[%1]：主机不可达，请检查系统参数korvane_ip中的地址和网络连接。</source>
        <translation>Cannot reach the remote FTP server [%1]: the host is unreachable. Check the address in the system parameter korvane_ip and the network connection.</translation>
    </message>
    <message>
        <source>不能与远程FTP服务器[%1]建立加密连接（TLS），请检查系统参数korvane_ftp_tls、korvane_ftp_cafile和korvane_ftp_fingerprint。</source>
        <translation>Cannot set up an encrypted connection (TLS) with the remote FTP server [%1]. Check the system parameters korvane_ftp_tls, korvane_ftp_cafile and korvane_ftp_fingerprint.</translation>
    </message>
    <message>
        <source>远程FTP服务器[%1]没有及时应答（等待了%2秒），请检查网络，或加大系统参数korvane_ftp_timeout。</source>
        <translation>The remote FTP server [%1] did not answer in time (waited %2 s). Check the network, or raise the system parameter korvane_ftp_timeout.</translation>
    </message>
    <message>
        <source>不能登录远程FTP服务器[%1]。</source>
        <translation>Cannot log in to the remote FTP server [%1].</translation>
    </message>
    <message>
        <source>设置远程路径出错！</source>
        <translation>Error while setting the remote path!</translation>
    </message>
    <message>
        <source>上传文件[%1]出错！</source>
        <translation>Uploading the file [%1] failed!</translation>
    </message>
    <message>
        <source>下载文件[%1]出错！</source>
        <translation>Downloading the file [%1] failed!</translation>
    </message>
    <message>
        <source>服务器没有建立主动模式的数据连接，请把系统参数korvane_ftp_mode设为passive（或auto）后重试。</source>
        <translation>The server did not open an active-mode data connection. Set the system parameter korvane_ftp_mode to passive (or auto) and try again.</translation>
    </message>
    <message>
        <source>上传文件[%1]时传输中断！</source>
        <translation>The upload of the file [%1] broke off!</translation>
    </message>
    <message>
        <source>下载文件[%1]时传输中断！</source>
        <translation>The download of the file [%1] broke off!</translation>
    </message>
    <message>
        <source>执行SQL出错了呀！</source>
        <translation>Error executing the SQL!</translation>
    </message>
    <message>
        <source>语句：</source>
        <translation>Statement: </translation>
    </message>
    <message>
        <source>已传 %1</source>
        <translation>%1 transferred</translation>
    </message>
    <message>
        <source>正在上传 %1</source>
        <translation>Uploading %1</translation>
    </message>
    <message>
        <source>正在下载 %1</source>
        <translation>Downloading %1</translation>
    </message>
    <message>
        <source>（续传，已有 %1）</source>
        <translation> (resumed, %1 present)</translation>
    </message>
    <message>
        <source>平均速度 %1</source>
        <translation>Average speed %1</translation>
    </message>
    <message>
        <source>，剩余时间 %1</source>
        <translation>, time left %1</translation>
    </message>
    <message>
        <source>正在等待服务器响应（%1秒）…</source>
        <translation>Waiting for the server to respond (%1 s)…</translation>
    </message>
    <message>
        <source>下载成功！保存在[%1]，请查看！</source>
        <translation>Download succeeded! Saved in [%1]; please have a look!</translation>
    </message>
    <message>
        <source>数据库连接串无效: </source>
        <translation>Invalid database connection string: </translation>
    </message>
    <message>
        <source>引号未闭合</source>
        <translation>a quote is not closed</translation>
    </message>
    <message>
        <source>PostgreSQL 的 Data Source 应为 主机[:端口]/数据库, 而不是 &quot;%1&quot;</source>
        <translation>a PostgreSQL Data Source is host[:port]/database, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>端口 &quot;%1&quot; 无效</source>
        <translation>invalid port &quot;%1&quot;</translation>
    </message>
    <message>
        <source>PostgreSQL 的 Data Source 缺少主机名</source>
        <translation>the PostgreSQL Data Source has no host name</translation>
    </message>
    <message>
        <source>ODBC 连接缺少 DSN 或 Data Source</source>
        <translation>an ODBC connection needs a DSN or a Data Source</translation>
    </message>
    <message>
        <source>连接串为空</source>
        <translation>the connection string is empty</translation>
    </message>
    <message>
        <source>&quot;%1&quot; 不是 键=值 的形式</source>
        <translation>&quot;%1&quot; is not of the form key=value</translation>
    </message>
    <message>
        <source>&quot;%1&quot; 缺少键名</source>
        <translation>&quot;%1&quot; has no key</translation>
    </message>
    <message>
        <source>SQLite 连接缺少 Data Source（数据库文件）</source>
        <translation>an SQLite connection needs a Data Source (the database file)</translation>
    </message>
    <message>
        <source>未知的 Provider &quot;%1&quot;</source>
        <translation>unknown Provider &quot;%1&quot;</translation>
    </message>
    <message>
        <source>文件[%1]的上传占用已失效（已被另一次上传接管），本次上传未登记</source>
        <translation>the upload&apos;s claim on the file [%1] has expired (another upload took it over); this upload was not registered</translation>
    </message>
    <message>
        <source>SQLite 驱动没有提供连接句柄</source>
        <translation>the SQLite driver gave no connection handle</translation>
    </message>
    <message>
        <source>SQLite 初始化失败 (%1): %2</source>
        <translation>SQLite initialisation failed (%1): %2</translation>
    </message>
    <message>
        <source>数据库文件不存在: %1（请用 korvane-dbtool --script 创建数据库）</source>
        <translation>the database file does not exist: %1 (create the database with korvane-dbtool --script)</translation>
    </message>
    <message>
        <source>数据库目录不存在: %1</source>
        <translation>the database folder does not exist: %1</translation>
    </message>
    <message>
        <source>数据库目录不可写: %1</source>
        <translation>the database folder cannot be written: %1</translation>
    </message>
    <message>
        <source>数据库文件不可写: %1</source>
        <translation>the database file cannot be written: %1</translation>
    </message>
    <message>
        <source>SQLite 函数注册失败: %1</source>
        <translation>registering the SQLite functions failed: %1</translation>
    </message>
    <message>
        <source>数据库驱动 %1 不可用（%2），请安装该驱动</source>
        <translation>the database driver %1 is not available (%2); please install it</translation>
    </message>
    <message>
        <source>连接数据库失败（%1 %2）: %3</source>
        <translation>connecting to the database failed (%1 %2): %3</translation>
    </message>
    <message>
        <source>%1 失败: %2</source>
        <translation>%1 failed: %2</translation>
    </message>
    <message>
        <source>数据库未连接</source>
        <translation>the database is not connected</translation>
    </message>
    <message>
        <source>上一个事务尚未结束</source>
        <translation>the previous transaction has not ended</translation>
    </message>
    <message>
        <source>开始事务失败: %1</source>
        <translation>starting the transaction failed: %1</translation>
    </message>
    <message>
        <source>没有可提交的事务</source>
        <translation>there is no transaction to commit</translation>
    </message>
    <message>
        <source>提交事务失败: %1</source>
        <translation>committing the transaction failed: %1</translation>
    </message>
    <message>
        <source>回滚事务失败: %1</source>
        <translation>rolling back the transaction failed: %1</translation>
    </message>
    <message>
        <source>语句没有返回结果集</source>
        <translation>the statement returned no result set</translation>
    </message>
    <message>
        <source>查询没有打开的结果集</source>
        <translation>the query has no open result set</translation>
    </message>
    <message>
        <source>没有当前记录，不能读取字段 %1</source>
        <translation>no current record: cannot read the field %1</translation>
    </message>
    <message>
        <source>结果集中没有字段 %1</source>
        <translation>the result set has no field %1</translation>
    </message>
    <message>
        <source>字段 %1 的值 &quot;%2&quot; 不是整数</source>
        <translation>the value &quot;%2&quot; of the field %1 is not an integer</translation>
    </message>
    <message>
        <source>字段 %1 的值 %2 超出 32 位整数范围</source>
        <translation>the value %2 of the field %1 is beyond the 32-bit integer range</translation>
    </message>
    <message>
        <source>不知道此数据库的 SQL 方言，不能升级</source>
        <translation>the SQL dialect of this database is unknown: cannot upgrade</translation>
    </message>
    <message>
        <source>内置的建表脚本 %1 不可读</source>
        <translation>the built-in schema script %1 cannot be read</translation>
    </message>
    <message>
        <source>下载目录[%1]无法创建或不可写，请检查！</source>
        <translation>The download folder [%1] cannot be created or written; please check it!</translation>
    </message>
    <message>
        <source>系统参数[%1]的值[%2]无效，应为%3。</source>
        <translation>The value [%2] of the system parameter [%1] is invalid; it should be %3.</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>1 到 3600 之间的秒数</source>
        <translation>a number of seconds from 1 to 3600</translation>
    </message>
    <message>
        <source>auto、UTF-8、GBK 或其他 iconv 认识的编码名</source>
        <translation>auto, UTF-8, GBK or another encoding name that iconv knows</translation>
    </message>
    <message>
        <source>可读的PEM证书文件</source>
        <translation>a readable PEM certificate file</translation>
    </message>
    <message>
        <source>服务器证书的SHA-256指纹（64位十六进制，字节间可用冒号）</source>
        <translation>the SHA-256 fingerprint of the server&apos;s certificate (64 hex digits, colons between bytes allowed)</translation>
    </message>
    <message>
        <source>申请单号只能是不超过18位的数字，请重新输入！</source>
        <translation>The order number can only be digits, at most 18 of them; please enter it again!</translation>
    </message>
    <message>
        <source>最多%1字节（一个汉字占3字节），现有%2字节</source>
        <translation>is at most %1 bytes (a Chinese character takes 3), now %2 bytes</translation>
    </message>
    <message>
        <source>最多%1个字符，现有%2个</source>
        <translation>is at most %1 characters, now %2</translation>
    </message>
    <message>
        <source>请至少确定一个查询条件</source>
        <translation>Please set at least one search condition</translation>
    </message>
    <message>
        <source>申请单号不能为空，请输入！</source>
        <translation>The order number must not be empty; please enter it!</translation>
    </message>
    <message>
        <source>申请单类型不能为空或为[全部]，请重新选择！</source>
        <translation>The order type must not be empty or [all]; please choose again!</translation>
    </message>
    <message>
        <source>请确定要上传的文件名称！</source>
        <translation>Please give the name of the file to upload!</translation>
    </message>
    <message>
        <source>所给上传文件不存在，请重新确定！</source>
        <translation>The file to upload does not exist; please give it again!</translation>
    </message>
    <message>
        <source>服务器上的文件名[%1]%2，请改短文件名后再上传！</source>
        <translation>The file name on the server [%1] %2; please shorten the file name and upload again!</translation>
    </message>
    <message>
        <source>备注%1，请删减！</source>
        <translation>The note %1; please shorten it!</translation>
    </message>
    <message>
        <source>数据保存失败，上传已撤销，服务器上的文件未改变！</source>
        <translation>Saving the data failed; the upload was undone and the file on the server is unchanged!</translation>
    </message>
    <message>
        <source>无法确认是否有人正在上传同名文件[%1]，请稍后再试。
%2</source>
        <translation>Cannot tell whether someone is uploading a file of the same name [%1]; please try again later.
%2</translation>
    </message>
    <message>
        <source>[%1]正在上传同名文件[%2]（开始于%3），请稍后再试。</source>
        <translation>[%1] is uploading a file of the same name [%2] (since %3); please try again later.</translation>
    </message>
    <message>
        <source>文件已上传，但数据保存失败，该文件未登记！请联系系统管理员。
</source>
        <translation>The file was uploaded, but saving the data failed and the file is not registered! Please contact the system administrator.
</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>[0] 所有类型</source>
        <translation>[0] All types</translation>
    </message>
    <message>
        <source>正在获取基础数据，请稍后...</source>
        <translation>Fetching base data, please wait...</translation>
    </message>
    <message>
        <source>系统管理服务初始化失败.</source>
        <translation>The system management service failed to initialise.</translation>
    </message>
    <message>
        <source>对不起，没找到符合条件的记录！</source>
        <translation>Sorry, no matching record was found!</translation>
    </message>
    <message>
        <source>服务器上已有登记过的同名文件%1，上传将替换该文件。是否继续？</source>
        <translation>The server already holds a registered file of the same name %1; the upload will replace it. Continue?</translation>
    </message>
    <message>
        <source>服务器上已有登记过的同名文件：
%1
上传将替换这些文件。是否继续？</source>
        <translation>The server already holds registered files of the same names:
%1
The upload will replace them. Continue?</translation>
    </message>
    <message>
        <source>
（无法读取已登记的文件，不能确认是否同名：%1）</source>
        <translation>
(The registered files cannot be read, so it cannot be told whether the names are taken: %1)</translation>
    </message>
    <message>
        <source>所选的文件中有同名文件，同一申请单的文件名称不能重复！</source>
        <translation>Some of the chosen files have the same name; the file names of one order must differ!</translation>
    </message>
    <message>
        <source>文件上传失败！</source>
        <translation>File upload failed!</translation>
    </message>
    <message>
        <source>文件上传成功，数据保存成功！</source>
        <translation>File uploaded, data saved!</translation>
    </message>
    <message>
        <source>%1，%2于%3上传</source>
        <translation>%1, uploaded by %2 at %3</translation>
    </message>
    <message>
        <source>请选择要下载的记录!</source>
        <translation>Please select the record to download!</translation>
    </message>
    <message>
        <source>文件名称[%1]无效，不能下载！</source>
        <translation>The file name [%1] is invalid and cannot be downloaded!</translation>
    </message>
    <message>
        <source>
该记录的文件已被之后上传的同名文件替换，下载的是最新的文件。</source>
        <translation>
This record&apos;s file was replaced by a later upload of the same name; the newest file was downloaded.</translation>
    </message>
    <message>
        <source>正在传输文件，要取消传输并关闭窗口吗？</source>
        <translation>A file is being transferred. Cancel the transfer and close the window?</translation>
    </message>
    <message>
        <source>文件上传</source>
        <translation>File upload</translation>
    </message>
    <message>
        <source>文件下载</source>
        <translation>File download</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>
正在取消…</source>
        <translation>
Cancelling…</translation>
    </message>
    <message>
        <source>服务器上的文件与登记时不一致（登记：%1字节，SHA-256 %2；下载：%3字节，SHA-256 %4），下载的文件已另存为[%5]，请核实！</source>
        <translation>The file on the server differs from its registration (registered: %1 bytes, SHA-256 %2; downloaded: %3 bytes, SHA-256 %4); the download was saved as [%5]. Please check it!</translation>
    </message>
    <message>
        <source>无法读取</source>
        <translation>unreadable</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>Succeeded</translation>
    </message>
    <message>
        <source>内存不足，无法创建对象!</source>
        <translation>Out of memory: cannot create the object!</translation>
    </message>
    <message>
        <source>异常</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>已上传%1个文件：%2</source>
        <translation>Uploaded %1 file(s): %2</translation>
    </message>
    <message>
        <source>未上传%1个文件：</source>
        <translation>Not uploaded, %1 file(s):</translation>
    </message>
    <message>
        <source>未下载%1个文件：</source>
        <translation>Not downloaded, %1 file(s):</translation>
    </message>
    <message>
        <source>选择要上传的文件</source>
        <translation>Choose the files to upload</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>列表</source>
        <translation>List</translation>
    </message>
    <message>
        <source>列表（共 %1 条）</source>
        <translation>List (%1 rows)</translation>
    </message>
    <message>
        <source>只向前读取的结果集不能计数</source>
        <translation>a forward-only result set cannot be counted</translation>
    </message>
    <message>
        <source>密码中含有分号，请把密码放在双引号中，如 Password=&quot;...&quot;</source>
        <translation>the password contains a semicolon: put it in double quotes, as in Password=&quot;...&quot;</translation>
    </message>
    <message>
        <source>连接数据库失败（%1）: %2</source>
        <translation>connecting to the database failed (%1): %2</translation>
    </message>
    <message>
        <source>设置 standard_conforming_strings</source>
        <translation>setting standard_conforming_strings</translation>
    </message>
    <message>
        <source>连接数据库失败: 数据库不接受 standard_conforming_strings=on，文本中的反斜杠会被当作转义符，为安全起见不能使用该数据库</source>
        <translation>connecting to the database failed: it does not accept standard_conforming_strings=on, so a backslash in a text would be read as an escape; for safety the database cannot be used</translation>
    </message>
    <message>
        <source>设置语句超时</source>
        <translation>setting the statement timeout</translation>
    </message>
    <message>
        <source>设置锁等待时间</source>
        <translation>setting the lock timeout</translation>
    </message>
    <message>
        <source>系统参数korvane_db_timeout的值[%1]无效，应为1到3600的秒数</source>
        <translation>the value [%1] of the system parameter korvane_db_timeout is invalid; it should be a number of seconds from 1 to 3600</translation>
    </message>
    <message>
        <source>与数据库的连接已断开，重新连接失败: %1</source>
        <translation>the connection to the database was lost and connecting again failed: %1</translation>
    </message>
    <message>
        <source>语句中含有空字符（NUL），不能执行</source>
        <translation>the statement contains a NUL character and cannot be run</translation>
    </message>
    <message>
        <source>该数据库把反斜杠（\）当作转义符，语句中不能含有反斜杠，请去掉后再试</source>
        <translation>this database reads a backslash (\) as an escape, so a statement cannot contain one; please remove it and try again</translation>
    </message>
    <message>
        <source>数据库忙：另一个程序正在使用数据库，已等待%1秒，请稍后再试。</source>
        <translation>The database is busy: another program is using it. Waited %1 s; please try again later.</translation>
    </message>
    <message>
        <source>数据库忙：该操作在%1秒内没有完成，请稍后再试。（%2）</source>
        <translation>The database is busy: the operation did not finish within %1 s; please try again later. (%2)</translation>
    </message>
    <message>
        <source>符合条件的记录超过%1条，只列出了前%1条，请增加查询条件后再查询！</source>
        <translation>More than %1 records match; only the first %1 are listed. Please add search conditions and search again!</translation>
    </message>
    <message>
        <source>不能在数据库中登记本次上传，没有上传。
%1</source>
        <translation>The upload could not be registered in the database; nothing was uploaded.
%1</translation>
    </message>
    <message>
        <source>0 到 1000 之间的整数</source>
        <translation>a whole number from 0 to 1000</translation>
    </message>
    <message>
        <source>未完成的步骤已记录在数据库中，将在下次上传该文件或运行 korvane-dbtool --check --repair 时完成。</source>
        <translation>The unfinished steps are recorded in the database and will be finished at the next upload of this file or by korvane-dbtool --check --repair.</translation>
    </message>
    <message>
        <source>上次未完成的上传[%1]还不能恢复，本次没有上传。</source>
        <translation>An earlier unfinished upload of [%1] cannot be undone yet; nothing was uploaded this time.</translation>
    </message>
    <message>
        <source>%1：服务器的应答不符合SFTP协议</source>
        <translation>%1: the server&apos;s reply does not follow the SFTP protocol</translation>
    </message>
    <message>
        <source>%1失败：%2（SFTP状态%3）</source>
        <translation>%1 failed: %2 (SFTP status %3)</translation>
    </message>
    <message>
        <source>与服务器的连接中断：%1</source>
        <translation>The connection to the server broke off: %1</translation>
    </message>
    <message>
        <source>服务器的SFTP应答无法识别</source>
        <translation>The server&apos;s SFTP reply could not be understood</translation>
    </message>
    <message>
        <source>本地文件%1是链接、不是普通文件或不属于当前用户，未写入</source>
        <translation>The local file %1 is a link, not a regular file or not the current user&apos;s own; nothing was written</translation>
    </message>
    <message>
        <source>本地文件%1正被另一个下载写入</source>
        <translation>Another download is writing the local file %1</translation>
    </message>
    <message>
        <source>无法写入本地文件%1：%2</source>
        <translation>Cannot write the local file %1: %2</translation>
    </message>
    <message>
        <source>无法读取本地文件%1：%2</source>
        <translation>Cannot read the local file %1: %2</translation>
    </message>
    <message>
        <source>上传%1</source>
        <translation>Uploading %1</translation>
    </message>
    <message>
        <source>%1：服务器上的文件为%2字节，应为%3字节</source>
        <translation>%1: the file on the server has %2 bytes instead of %3</translation>
    </message>
    <message>
        <source>下载%1</source>
        <translation>Downloading %1</translation>
    </message>
    <message>
        <source>读取数据</source>
        <translation>Reading data</translation>
    </message>
    <message>
        <source>无法清空本地文件：%1</source>
        <translation>Cannot empty the local file: %1</translation>
    </message>
    <message>
        <source>读取%1</source>
        <translation>Reading %1</translation>
    </message>
    <message>
        <source>列出目录%1</source>
        <translation>Listing the folder %1</translation>
    </message>
    <message>
        <source>系统参数korvane_sftp_hostkey中的“%1”不是SHA256指纹（应为ssh-keygen -lf 显示的SHA256:开头的43个字符）</source>
        <translation>&quot;%1&quot; in the system parameter korvane_sftp_hostkey is not a SHA256 fingerprint (it should be the 43 characters after SHA256: as ssh-keygen -lf shows them)</translation>
    </message>
    <message>
        <source>与服务器%1的SFTP会话未打开</source>
        <translation>No SFTP session with the server %1 is open</translation>
    </message>
    <message>
        <source>文件名编码“%1”无法识别，请检查系统参数korvane_ftp_encoding</source>
        <translation>The name encoding &quot;%1&quot; is unknown; check the system parameter korvane_ftp_encoding</translation>
    </message>
    <message>
        <source>进入目录%1</source>
        <translation>Opening the folder %1</translation>
    </message>
    <message>
        <source>%1不是目录</source>
        <translation>%1 is not a folder</translation>
    </message>
    <message>
        <source>SFTP握手</source>
        <translation>SFTP handshake</translation>
    </message>
    <message>
        <source>名称“%1”无法用%2编码表示</source>
        <translation>The name &quot;%1&quot; cannot be written in %2</translation>
    </message>
    <message>
        <source>将%1改名为%2</source>
        <translation>Renaming %1 to %2</translation>
    </message>
    <message>
        <source>%1失败：%2已存在</source>
        <translation>%1 failed: %2 exists already</translation>
    </message>
    <message>
        <source>用%1替换%2</source>
        <translation>Replacing %2 with %1</translation>
    </message>
    <message>
        <source>原文件已移到%1，未能移回：%2</source>
        <translation>The original file was moved to %1 and could not be moved back: %2</translation>
    </message>
    <message>
        <source>删除%1</source>
        <translation>Deleting %1</translation>
    </message>
    <message>
        <source>查询%1</source>
        <translation>Looking up %1</translation>
    </message>
    <message>
        <source>读取本地文件失败：%1</source>
        <translation>Reading the local file failed: %1</translation>
    </message>
    <message>
        <source>无法读取系统参数korvane_sftp_key指定的密钥文件%1</source>
        <translation>Cannot read the key file %1 that the system parameter korvane_sftp_key names</translation>
    </message>
    <message>
        <source>密钥文件%1无法解开：口令（korvane_pwd）不对，或不是OpenSSH私钥</source>
        <translation>The key file %1 cannot be opened: the passphrase (korvane_pwd) is wrong, or it is not an OpenSSH private key</translation>
    </message>
    <message>
        <source>登录</source>
        <translation>Logging in</translation>
    </message>
    <message>
        <source>登录服务器%1时连接中断：%2</source>
        <translation>The connection broke off while logging in to the server %1: %2</translation>
    </message>
    <message>
        <source>服务器%1拒绝了用户%2的登录：ssh-agent、密钥文件和密码均未被接受</source>
        <translation>The server %1 refused the login of user %2: neither the ssh-agent, the key file nor the password was accepted</translation>
    </message>
    <message>
        <source>无法解析服务器名称%1</source>
        <translation>The server name %1 cannot be resolved</translation>
    </message>
    <message>
        <source>服务器%1拒绝连接（端口上没有SFTP服务）</source>
        <translation>The server %1 refused the connection (no SFTP service on the port)</translation>
    </message>
    <message>
        <source>无法连接服务器%1：%2</source>
        <translation>Cannot connect to the server %1: %2</translation>
    </message>
    <message>
        <source>操作已取消</source>
        <translation>The operation was cancelled</translation>
    </message>
    <message>
        <source>%1超时（%2秒）</source>
        <translation>%1 timed out (%2 s)</translation>
    </message>
    <message>
        <source>服务器地址“%1”无法识别</source>
        <translation>The server address &quot;%1&quot; cannot be understood</translation>
    </message>
    <message>
        <source>SSH握手</source>
        <translation>SSH handshake</translation>
    </message>
    <message>
        <source>与服务器%1的SSH握手失败：%2</source>
        <translation>The SSH handshake with the server %1 failed: %2</translation>
    </message>
    <message>
        <source>无法读取服务器%1的主机密钥：%2</source>
        <translation>Cannot read the host key of the server %1: %2</translation>
    </message>
    <message>
        <source>服务器%1的主机密钥已改变（%2 %3），与known_hosts中记录的不同，可能遭到中间人攻击，未发送任何登录信息。确认密钥无误后，请在系统参数korvane_sftp_hostkey中设置该指纹，或更新~/.ssh/known_hosts或/etc/ssh/ssh_known_hosts中的记录。</source>
        <translation>The host key of the server %1 has changed (%2 %3): it differs from the one in known_hosts, which may be a man-in-the-middle attack; no login was sent. Once the key is confirmed, set its fingerprint in the system parameter korvane_sftp_hostkey, or update the entry in ~/.ssh/known_hosts or /etc/ssh/ssh_known_hosts.</translation>
    </message>
    <message>
        <source>服务器%1的主机密钥未知（%2 %3），未发送任何登录信息。确认密钥无误后，请在系统参数korvane_sftp_hostkey中设置该指纹，或将该密钥加入~/.ssh/known_hosts或/etc/ssh/ssh_known_hosts。</source>
        <translation>The host key of the server %1 is unknown (%2 %3); no login was sent. Once the key is confirmed, set its fingerprint in the system parameter korvane_sftp_hostkey, or add the key to ~/.ssh/known_hosts or /etc/ssh/ssh_known_hosts.</translation>
    </message>
    <message>
        <source>打开SFTP通道</source>
        <translation>Opening the SFTP channel</translation>
    </message>
    <message>
        <source>服务器%1未提供SFTP服务：%2</source>
        <translation>The server %1 offers no SFTP service: %2</translation>
    </message>
    <message>
        <source>不能把上传的文件放到[%1]的位置：%2</source>
        <translation>The uploaded file could not be put in place of [%1]: %2</translation>
    </message>
    <message>
        <source>以空格分隔的主机密钥指纹（ssh-keygen -lf 显示的 SHA256:...）</source>
        <translation>host key fingerprints separated by blanks (SHA256:... as ssh-keygen -lf shows them)</translation>
    </message>
    <message>
        <source>可读的私钥文件</source>
        <translation>a readable private key file</translation>
    </message>
    <message>
        <source>%1最多%2个字符，超出的部分没有填入。</source>
        <translation>%1 takes at most %2 characters; what went beyond was not entered.</translation>
    </message>
    <message>
        <source>备注中含有空字符（NUL），请删除后再上传！</source>
        <translation>The note contains a null character (NUL); please remove it and upload again!</translation>
    </message>
    <message>
        <source>该数据库把反斜杠（\）当作转义符，%1中不能含有反斜杠，请去掉后再上传！</source>
        <translation>This database reads a backslash (\) as an escape character, so the %1 must not contain one; please remove it and upload again!</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>文件名称</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>文件名称[%1]两端有空白，去掉空白后是另一个文件[%2]，不知道要上传哪一个。请用“...”选择要上传的文件！</source>
        <translation>The file name [%1] has blanks at an end, and without them it names another file [%2]: it is not clear which one to upload. Please choose the file to upload with &quot;...&quot;!</translation>
    </message>
    <message>
        <source>所给上传文件不存在，请重新确定！
文件[%1]的名称两端有空白，文件名称框会去掉两端的空白，请用“...”选择该文件。</source>
        <translation>The file to upload does not exist; please specify it again!
The name of the file [%1] has blanks at an end, which the file name box drops; please choose the file with &quot;...&quot;.</translation>
    </message>
    <message>
        <source>窗口[%1]正在传输文件，请等它的传输结束后再重试。</source>
        <translation>The window [%1] is transferring files; please retry once its transfers have ended.</translation>
    </message>
    <message>
        <source>窗口已关闭，不能重试。</source>
        <translation>The window has been closed; the transfer cannot be retried.</translation>
    </message>
    <message>
        <source>数据保存失败，该文件未登记！文件已直接上传（korvane_ftp_upload=direct），服务器上的[%1]已是新上传的文件。</source>
        <translation>Saving the data failed; the file is not registered! It was uploaded directly (korvane_ftp_upload=direct): [%1] on the server is now the uploaded file.</translation>
    </message>
    <message>
        <source>服务器没有及时应答改名（等待了%1秒）</source>
        <translation>the server did not answer the rename in time (waited %1 seconds)</translation>
    </message>
    <message>
        <source>与服务器的连接在改名时中断</source>
        <translation>the connection to the server broke during the rename</translation>
    </message>
    <message>
        <source>上传文件[%1]时%2：服务器上的[%1]可能仍是原文件，也可能已是新上传的文件，该文件未登记，请稍后重新上传。</source>
        <translation>While uploading the file [%1], %2: [%1] on the server may still be the earlier file or may already be the uploaded one. The file is not registered; please upload it again later.</translation>
    </message>
    <message>
        <source>上传[%1]不能从中断处继续（服务器不支持续传上传，或服务器上已传的部分与本地文件不符），已从头重新上传。</source>
        <translation>The upload of [%1] could not go on where it stopped (the server does not continue uploads, or the part on the server is not the local file&apos;s), so it was uploaded again from the start.</translation>
    </message>
    <message>
        <source>
已上传的部分保留在服务器上，再次上传该文件时从中断处继续。</source>
        <translation>
The part already uploaded stays on the server; uploading the file again goes on from where it stopped.</translation>
    </message>
    <message>
        <source>
已暂停</source>
        <translation>
Paused</translation>
    </message>
    <message>
        <source>已登记，大小和上传者没有记录</source>
        <translation>registered; its size and uploader were not recorded</translation>
    </message>
    <message>
        <source>%1，修改于%2</source>
        <translation>%1, modified %2</translation>
    </message>
    <message>
        <source>（替换了原文件：%1）</source>
        <translation> (replaced the earlier file: %1)</translation>
    </message>
    <message>
        <source>服务器上已有登记过的同名文件[%1]（%2）。
要用本地文件（%3）替换它，还是跳过这个文件？</source>
        <translation>The server already holds a registered file [%1] (%2).
Replace it with the local file (%3), or skip this file?</translation>
    </message>
    <message>
        <source>上传</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>上传失败</source>
        <translation>Upload failed</translation>
    </message>
    <message>
        <source>替换</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>跳过</source>
        <translation>Skip</translation>
    </message>
    <message>
        <source>待定</source>
        <translation>Not decided</translation>
    </message>
    <message>
        <source>其余同名文件都这样处理</source>
        <translation>Do the same for the remaining files</translation>
    </message>
    <message>
        <source>上传同名文件</source>
        <translation>Files already registered</translation>
    </message>
    <message>
        <source>服务器上的文件</source>
        <translation>On the server</translation>
    </message>
    <message>
        <source>要上传的文件</source>
        <translation>To upload</translation>
    </message>
    <message>
        <source>处理</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>取消上传</source>
        <translation>Cancel the upload</translation>
    </message>
    <message>
        <source>跳过%1个文件：%2</source>
        <translation>Skipped %1 file(s): %2</translation>
    </message>
    <message>
        <source>没有上传文件：%1都已跳过。</source>
        <translation>No file was uploaded: %1 were all skipped.</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>替换失败</source>
        <translation>Replace failed</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>下载失败</source>
        <translation>Download failed</translation>
    </message>
    <message>
        <source>下载的文件与登记不符</source>
        <translation>Downloaded file does not match its record</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>操作员</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>主机</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>版本</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>字节数</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>历史记录 - %1</source>
        <translation>History - %1</translation>
    </message>
    <message>
        <source>文件[%1]</source>
        <translation>File [%1]</translation>
    </message>
    <message>
        <source>申请单[%1]</source>
        <translation>Order [%1]</translation>
    </message>
    <message>
        <source>历史记录</source>
        <translation>History</translation>
    </message>
    <message>
        <source>数据库中还没有历史记录表，请运行 korvane-dbtool --upgrade。</source>
        <translation>The database has no history table yet; please run korvane-dbtool --upgrade.</translation>
    </message>
    <message>
        <source>远程服务器[%1]的主机密钥不在信任之列或已改变，没有登录。请向管理员核对下面的指纹，确认无误后将其写入系统参数korvane_sftp_hostkey。</source>
        <translation>The host key of the remote server [%1] is not trusted or has changed; nothing was logged in. Please check the fingerprint below with the administrator and, if it is right, put it into the system parameter korvane_sftp_hostkey.</translation>
    </message>
    <message>
        <source>数据库早于 1.2 版，没有表 zy.res_download_file：请运行一次 korvane-dbtool --conn &quot;&lt;连接字符串&gt;&quot; --upgrade。在此之前上传的文件不记录大小和摘要，同名上传也不互相排斥。</source>
        <translation>The database predates 1.2 and has no table zy.res_download_file: run korvane-dbtool --conn &quot;&lt;connection string&gt;&quot; --upgrade once. Until then uploads record no size or digest, and uploads of one name do not exclude each other.</translation>
    </message>
    <message>
        <source>系统参数%1的值[%2]无效：应为1到1048576之间的整数（MiB）。</source>
        <translation>The value [%2] of the system parameter %1 is not valid: it must be a whole number from 1 to 1048576 (MiB).</translation>
    </message>
    <message>
        <source>文件已损坏或过大，无法显示。</source>
        <translation>The file is damaged or too large and cannot be shown.</translation>
    </message>
    <message>
        <source>预览程序[%1]无法启动。</source>
        <translation>The preview program [%1] cannot be started.</translation>
    </message>
    <message>
        <source>预览缓存目录[%1]无法创建或写入。</source>
        <translation>The preview cache folder [%1] cannot be created or written.</translation>
    </message>
    <message>
        <source>服务器上的文件与登记时不一致（登记：%1字节，SHA-256 %2；服务器上：%3字节，SHA-256 %4），不予显示，请核实！</source>
        <translation>The file on the server differs from what was registered (registered: %1 bytes, SHA-256 %2; on the server: %3 bytes, SHA-256 %4). It is not shown; please check it!</translation>
    </message>
    <message>
        <source>预览</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>预览消息</source>
        <translation>Preview message</translation>
    </message>
    <message>
        <source>获取进度</source>
        <translation>Fetch progress</translation>
    </message>
    <message>
        <source>已取消预览。</source>
        <translation>The preview was cancelled.</translation>
    </message>
    <message>
        <source>预览文本</source>
        <translation>Preview text</translation>
    </message>
    <message>
        <source>文件信息</source>
        <translation>File information</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>上一页</source>
        <translation>Previous page</translation>
    </message>
    <message>
        <source>下一页</source>
        <translation>Next page</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>适合宽度</source>
        <translation>Fit width</translation>
    </message>
    <message>
        <source>旋转</source>
        <translation>Rotate</translation>
    </message>
    <message>
        <source>文件[%1]没有登记大小和SHA-256，无法核实，不予预览。</source>
        <translation>The file [%1] was registered without its size and SHA-256, so it cannot be verified and is not previewed.</translation>
    </message>
    <message>
        <source>文件[%1]有%2，超过预览上限%3 MiB（korvane_preview_max），确定要获取并预览吗？</source>
        <translation>The file [%1] is %2, more than the preview limit of %3 MiB (korvane_preview_max). Fetch and preview it?</translation>
    </message>
    <message>
        <source>选择一条记录以预览其文件。</source>
        <translation>Select a row to preview its file.</translation>
    </message>
    <message>
        <source>正在获取[%1]（%2）…</source>
        <translation>Fetching [%1] (%2)…</translation>
    </message>
    <message>
        <source>正在显示[%1]…</source>
        <translation>Showing [%1]…</translation>
    </message>
    <message>
        <source>
……（只显示前 1 MiB）</source>
        <translation>
…… (only the first MiB is shown)</translation>
    </message>
    <message>
        <source>第 %1/%2 页</source>
        <translation>Page %1 of %2</translation>
    </message>
    <message>
        <source>文件：%1
大小：%2
上传：%3（%4）</source>
        <translation>File: %1
Size: %2
Uploaded by: %3 (%4)</translation>
    </message>
    <message>
        <source>没有能打开[%1]的程序。</source>
        <translation>No program can open [%1].</translation>
    </message>
    <message>
        <source>预览页面</source>
        <translation>Preview page</translation>
    </message>
    <message>
        <source>另存为…</source>
        <translation>Save As…</translation>
    </message>
    <message>
        <source>文件[%1]正在被新上传的同名文件替换，请等上传结束后再下载。</source>
        <translation>File [%1] is being replaced by a new upload of the same name; download it once that upload has ended.</translation>
    </message>
    <message>
        <source>文件[%1]在选中之后被替换了，请重新查询后再下载。</source>
        <translation>File [%1] was replaced after it was selected; search again, then download it.</translation>
    </message>
    <message>
        <source>本地已有与登记相同的文件[%1]，未重新下载。</source>
        <translation>The local file [%1] is the same as the registered one; nothing was downloaded again.</translation>
    </message>
    <message>
        <source>
本地的[%1]是另一个文件，已保留。</source>
        <translation>
The local [%1] is another file and was kept.</translation>
    </message>
    <message>
        <source>
该记录的文件之后被同名文件替换过，下载的是该记录当时的文件（第%1版），文件名为[%2]。</source>
        <translation>
This record&apos;s file was later replaced by a file of the same name; the record&apos;s own file (version %1) was downloaded, named [%2].</translation>
    </message>
    <message>
        <source>文件夹[%1]中已有同名的文件，与要下载的文件不同：
%2

替换：用下载的文件替换它们；保留两者：下载的文件另存为“名称 (1).扩展名”；取消：不下载。</source>
        <translation>Folder [%1] already holds files of the same name that differ from the files to download:
%2

Replace: the downloaded files replace them; Keep both: the downloaded files are saved as &quot;name (1).ext&quot;; Cancel: nothing is downloaded.</translation>
    </message>
    <message>
        <source>不是普通文件（可能是链接或文件夹）</source>
        <translation>not a plain file (a link or a folder, perhaps)</translation>
    </message>
    <message>
        <source>%1修改</source>
        <translation>modified %1</translation>
    </message>
    <message>
        <source>只读</source>
        <translation>read-only</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>保留两者</source>
        <translation>Keep Both</translation>
    </message>
    <message>
        <source>窗口正在传输文件，请等传输结束后再下载。</source>
        <translation>The window is transferring files; download once its transfers have ended.</translation>
    </message>
    <message>
        <source>打开所在文件夹</source>
        <translation>Open Containing Folder</translation>
    </message>
    <message>
        <source>已在本地，未重新下载</source>
        <translation>already here, not downloaded again</translation>
    </message>
    <message>
        <source>不能把下载的文件改名为[%1]：%2，它保留在[%3]。</source>
        <translation>The downloaded file cannot be renamed to [%1]: %2. It is kept in [%3].</translation>
    </message>
    <message>
        <source>[%1]不是普通文件，下载不能写入它，请移走它后再下载。</source>
        <translation>[%1] is not a plain file, so the download cannot write into it; move it away, then download again.</translation>
    </message>
    <message>
        <source>%1个文件已在[%2]中，与登记的相同，未重新下载：%3</source>
        <translation>%1 file(s) already in [%2], the same as registered, not downloaded again: %3</translation>
    </message>
    <message>
        <source>已下载%1个文件到[%2]：%3</source>
        <translation>Downloaded %1 file(s) to [%2]: %3</translation>
    </message>
</context>
<context>
    <name>korvane-dbtool</name>
    <message>
        <source>不能读取密码文件 %1：%2</source>
        <translation>Cannot read the password file %1: %2</translation>
    </message>
    <message>
        <source>--query 需要 --columns（要列出的列）</source>
        <translation>--query needs --columns (the columns to print)</translation>
    </message>
    <message>
        <source>警告：--conn 中的密码本机所有用户都能看到；请改用 --password-file、KORVANE_DB_PASSWORD 或 --ask-password</source>
        <translation>warning: every user of this machine can read the password in --conn; use --password-file, KORVANE_DB_PASSWORD or --ask-password</translation>
    </message>
    <message>
        <source>不能读取脚本 %1：%2</source>
        <translation>Cannot read the script %1: %2</translation>
    </message>
    <message>
        <source>建立并查询 korvane 数据库（见 korvane-dbtool(1)）。</source>
        <translation>Creates and queries the korvane database (see korvane-dbtool(1)).</translation>
    </message>
    <message>
        <source>ADO 连接字符串</source>
        <translation>ADO connection string</translation>
    </message>
    <message>
        <source>文本</source>
        <translation>text</translation>
    </message>
    <message>
        <source>从此文件的第一行读取数据库密码</source>
        <translation>read the database password from the first line of this file</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>file</translation>
    </message>
    <message>
        <source>在终端上询问数据库密码</source>
        <translation>ask for the database password on the terminal</translation>
    </message>
    <message>
        <source>要执行的建表脚本</source>
        <translation>schema script to apply</translation>
    </message>
    <message>
        <source>不返回行的语句</source>
        <translation>statement without rows</translation>
    </message>
    <message>
        <source>返回行的语句，以制表符分隔列出（需要 --columns）</source>
        <translation>statement with rows, printed tab-separated (needs --columns)</translation>
    </message>
    <message>
        <source>--query 要列出的列，以逗号分隔</source>
        <translation>the columns of --query to print, comma-separated</translation>
    </message>
    <message>
        <source>列名</source>
        <translation>names</translation>
    </message>
    <message>
        <source>为已有的数据库添加本版本需要的表</source>
        <translation>add the tables that this version needs to an existing database</translation>
    </message>
    <message>
        <source>将登记记录与存储（FTP 或 SFTP 服务器）上的文件比较</source>
        <translation>compare the registrations with the files in the store (the FTP or SFTP server)</translation>
    </message>
    <message>
        <source>与 --check 一起：完成中断的上传（从不删除孤立文件）</source>
        <translation>with --check: finish interrupted uploads (never removes an orphan)</translation>
    </message>
    <message>
        <source>与 --check 一起：主机配置文件（默认与主机相同：全机的和本人的）</source>
        <translation>with --check: this configuration file alone (else the host&apos;s: the machine&apos;s and the operator&apos;s own)</translation>
    </message>
</context>
<context>
    <name>telmaris</name>
    <message>
        <source>业务模块(&amp;M)</source>
        <translation>&amp;Modules</translation>
    </message>
    <message>
        <source>窗口(&amp;W)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>层叠</source>
        <translation>Cascade</translation>
    </message>
    <message>
        <source>平铺</source>
        <translation>Tile</translation>
    </message>
    <message>
        <source>最大化</source>
        <translation>Maximise</translation>
    </message>
    <message>
        <source>传输列表</source>
        <translation>Transfers</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>以下文件正在传输：
%1
要取消这些传输并退出吗？</source>
        <translation>These files are being transferred:
%1
Cancel these transfers and quit?</translation>
    </message>
    <message>
        <source>异常</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>TELMARIS 业务模块宿主程序</source>
        <translation>TELMARIS host for business modules</translation>
    </message>
    <message>
        <source>主机配置文件（INI）</source>
        <translation>host configuration (INI)</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>本次会话的操作员编号</source>
        <translation>operator id of the session</translation>
    </message>
    <message>
        <source>编号</source>
        <translation>id</translation>
    </message>
    <message>
        <source>业务模块库</source>
        <translation>business module library</translation>
    </message>
    <message>
        <source>库</source>
        <translation>lib</translation>
    </message>
    <message>
        <source>界面语言：zh_CN（中文）或 en（英文）；默认取配置文件[Session] Language，再取系统区域设置</source>
        <translation>language of the texts: zh_CN (Chinese) or en (English); by default [Session] Language of the configuration, else the system locale</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>language</translation>
    </message>
    <message>
        <source>保存窗口的截图后退出（与 --tour 一起时：截图所在的文件夹）</source>
        <translation>save a picture of the window and exit (with --tour: the folder for the pictures)</translation>
    </message>
    <message>
        <source>在 korvane 窗口中上传、查询并下载示例文件，然后退出</source>
        <translation>upload, search and download the sample file in the korvane window, then exit</translation>
    </message>
    <message>
        <source>示例文件</source>
        <translation>sample</translation>
    </message>
    <message>
        <source>不能加载业务模块 %1：%2</source>
        <translation>Cannot load the business module %1: %2</translation>
    </message>
    <message>
        <source>业务模块 %1 缺少导出函数 %2</source>
        <translation>The business module %1 lacks the exported function %2</translation>
    </message>
    <message>
        <source>进行中</source>
        <translation>Running</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>打开所在文件夹</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>窗口</source>
        <translation>Window</translation>
    </message>
    <message>
        <source>申请单号</source>
        <translation>Order no.</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>剩余时间</source>
        <translation>Time left</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>上传</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>关键字查找</source>
        <translation>Keyword search</translation>
    </message>
    <message>
        <source>请输入关键字:</source>
        <translation>Please enter a keyword:</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>请稍候</source>
        <translation>Please wait</translation>
    </message>
    <message>
        <source>请按 korvane(7) 建立该文件（示例见 /usr/share/doc/telmaris-korvane/examples）。</source>
        <translation>Create the file as korvane(7) describes (examples in /usr/share/doc/telmaris-korvane/examples).</translation>
    </message>
    <message>
        <source>本人的配置文件应可由本人读取：chmod 600 %1</source>
        <translation>An operator&apos;s own configuration file must be readable by its owner: chmod 600 %1</translation>
    </message>
    <message>
        <source>全机的配置文件应属于组 telmaris、权限 640（chgrp telmaris %1 &amp;&amp; chmod 640 %1），操作员应为该组成员（adduser &lt;操作员&gt; telmaris，重新登录后生效）。</source>
        <translation>The machine&apos;s configuration file belongs to the group telmaris with mode 640 (chgrp telmaris %1 &amp;&amp; chmod 640 %1), and the operators are members of that group (adduser &lt;operator&gt; telmaris, effective at the next login).</translation>
    </message>
    <message>
        <source>不能读取主机配置文件 %1
%2</source>
        <translation>Cannot read the host configuration file %1
%2</translation>
    </message>
    <message>
        <source>%1 %2（%3）</source>
        <translation>%1 %2 (%3)</translation>
    </message>
    <message>
        <source>窗口已关闭，传输中止</source>
        <translation>the window was closed, the transfer was stopped</translation>
    </message>
    <message>
        <source>配置文件</source>
        <translation>file</translation>
    </message>
    <message>
        <source>该传输不能重试。</source>
        <translation>This transfer cannot be retried.</translation>
    </message>
    <message>
        <source>（已重试）</source>
        <translation> (retried)</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>文件大于 %1 字节，不是配置文件</source>
        <translation>larger than %1 bytes, not a configuration</translation>
    </message>
    <message>
        <source>已忽略，既不是 [节] 也不是 键=值</source>
        <translation>ignored, neither a [section] nor a key=value line</translation>
    </message>
    <message>
        <source>已忽略，&apos;=&apos; 前没有键</source>
        <translation>ignored, no key before &apos;=&apos;</translation>
    </message>
    <message>
        <source>korvane_conn 中的密码</source>
        <translation>a password in korvane_conn</translation>
    </message>
    <message>
        <source>%1：警告：%2 含有%3，组 telmaris 以外的用户也能读取；请以 root 运行：chgrp telmaris %2 &amp;&amp; chmod 640 %2</source>
        <translation>%1: WARNING: %2 holds %3 and can be read by users outside the group telmaris; as root run: chgrp telmaris %2 &amp;&amp; chmod 640 %2</translation>
    </message>
    <message>
        <source>请运行：chmod 600 %1</source>
        <translation>run: chmod 600 %1</translation>
    </message>
    <message>
        <source>请以其所有者 %2 运行：chmod 600 %1</source>
        <translation>as its owner %2 run: chmod 600 %1</translation>
    </message>
    <message>
        <source>%1：警告：%2 含有%3，其他用户也能读取；%4</source>
        <translation>%1: WARNING: %2 holds %3 and can be read by other users; %4</translation>
    </message>
    <message>
        <source>配置只能是普通文件，该路径不是。</source>
        <translation>A configuration can only be a regular file, and this path is none.</translation>
    </message>
    <message>
        <source>不能读取配置文件 %1</source>
        <translation>cannot read the configuration %1</translation>
    </message>
    <message>
        <source>配置中没有 %1：请在 %2 的 [SysPara] 中设置</source>
        <translation>the configuration sets no %1: set it in [SysPara] of %2</translation>
    </message>
    <message>
        <source> 或 </source>
        <translation> or </translation>
    </message>
    <message>
        <source>没有操作员编号，不能打开业务模块。请在 %1 的 [Session] 中设置 OperatorId=&lt;编号&gt;（[CodeTable285] 中的编号，不能为 0），或以 --operator &lt;编号&gt; 启动。</source>
        <translation>No operator number: no business module opens. Set OperatorId=&lt;number&gt; in [Session] of %1 (a number of [CodeTable285], not 0), or start with --operator &lt;number&gt;.</translation>
    </message>
    <message>
        <source>--operator %1 不是操作员编号：应为不是 0 的整数。</source>
        <translation>--operator %1 is no operator number: it must be an integer other than 0.</translation>
    </message>
    <message>
        <source>%1 中 [Session] OperatorId=%2 不是操作员编号：应为 [CodeTable285] 中不是 0 的整数。</source>
        <translation>[Session] OperatorId=%2 in %1 is no operator number: it must be an integer of [CodeTable285] other than 0.</translation>
    </message>
    <message>
        <source>号码管理</source>
        <translation>Number management</translation>
    </message>
    <message>
        <source>已暂停</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation>Started</translation>
    </message>
    <message>
        <source>用时</source>
        <translation>Time taken</translation>
    </message>
    <message>
        <source>当前速度</source>
        <translation>Current speed</translation>
    </message>
    <message>
        <source>平均速度</source>
        <translation>Average speed</translation>
    </message>
    <message>
        <source>次数</source>
        <translation>Attempts</translation>
    </message>
    <message>
        <source>从列表中清除</source>
        <translation>Remove from list</translation>
    </message>
    <message>
        <source>文件夹[%1]已不存在。</source>
        <translation>Folder [%1] no longer exists.</translation>
    </message>
    <message>
        <source>文件[%1]已不存在，可能已被移走或删除。</source>
        <translation>File [%1] no longer exists; it may have been moved or deleted.</translation>
    </message>
    <message>
        <source>没有可以打开文件夹的程序，请在文件管理器中打开[%1]。</source>
        <translation>No program can open the folder; open [%1] in a file manager.</translation>
    </message>
    <message>
        <source>没有可以打开该文件的程序，文件在[%1]。</source>
        <translation>No program can open this file; it is in [%1].</translation>
    </message>
    <message>
        <source>只有下载成功的文件可以打开。</source>
        <translation>Only a file that was downloaded successfully can be opened.</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>替换</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>之前的会话</source>
        <translation>Earlier session</translation>
    </message>
</context>
</TS>
