insert into t values('a;b'); -- c;
select "x;" from y;;